#pragma once
// Small helpers to drive real windows from a test: answer each modal window
// once its own event loop runs (the back end announces it), find the topmost
// modal window, and give the widgets real clicks and keys.
#include <deque>
#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QWidget>

#include "ui/Dialog.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {

template <typename T>
T* TopModal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// A key as the keyboard gives it to widget (press and release); keys the
// widget ignores travel up to its window.
inline void PressKey(QWidget* widget, int key) {
    ASSERT_NE(widget, nullptr);
    QTest::keyClick(widget, static_cast<Qt::Key>(key));
}

inline void ClickOn(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Replaces the text of an edit field as typed: all selected, then keys.
inline void TypeInto(QWidget* field, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(field);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// The answers to the modal windows a test expects, in order: each runs when
// its window's loop has started, i.e. when the user could first act on it.
// A window nobody expected is noted as a failure and ended, so that no
// fault leaves a run waiting for an answer that never comes.
class CModalAnswers {
public:
    using Answer = std::function<void(QWidget& window)>;

    explicit CModalAnswers(ui::CQtBackend& qt) : m_qt(qt) {
        qt.m_onModalShown = [this](QWidget& window) { Shown(window); };
    }
    ~CModalAnswers() {
        m_qt.m_onModalShown = nullptr;
        EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " expected window(s) never shown";
    }
    CModalAnswers(const CModalAnswers&) = delete;
    CModalAnswers& operator=(const CModalAnswers&) = delete;

    void Next(Answer answer) { m_answers.push_back(std::move(answer)); }

private:
    void Shown(QWidget& window) {
        if (m_answers.empty()) {
            ADD_FAILURE() << "window \"" << window.windowTitle().toStdString() << "\" where the test expected none";
            if (auto* host = dynamic_cast<ui::CQtDialogHost*>(&window))
                host->End(kAbandoned);
            else if (auto* dialog = qobject_cast<QDialog*>(&window))
                dialog->done(QDialog::Rejected);
            return;
        }
        Answer answer = std::move(m_answers.front());
        m_answers.pop_front();
        answer(window);
    }

    ui::CQtBackend& m_qt;
    std::deque<Answer> m_answers;

public:
    static constexpr int kAbandoned = -99;
};

// Deletes windows whose deletion was deferred.
inline void FlushDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The Qt back end of one test, answering the modal windows the
// test expects, with the deferred deletions flushed afterwards.
class CQtBackendFixture : public ::testing::Test {
protected:
    void TearDown() override {
        FlushDeferredDeletes();
    }
    // Runs answer on the next modal window once it is up.
    void WhenShown(CModalAnswers::Answer answer) { m_answers.Next(std::move(answer)); }

    ui::CQtBackend m_qt;
    CModalAnswers m_answers{m_qt};
};

}  // namespace pelican::test
