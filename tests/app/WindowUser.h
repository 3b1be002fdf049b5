#pragma once
// A user at the real windows: each modal window the Qt back end shows is
// answered, in the order the test expects them, with clicks and keys on its
// actual controls. A window the test does not expect is noted as a failure
// and closed, so that nothing waits for an answer that never comes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QTest>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {

class CWindowUser {
public:
    using Answer = std::function<void(QWidget& window)>;

    explicit CWindowUser(ui::CQtBackend& qt) : m_qt(qt) {
        qt.m_onModalShown = [this](QWidget& window) { Shown(window); };
        qt.m_onModelessShown = [this](QWidget& window) {
            auto* host = dynamic_cast<ui::CQtDialogHost*>(&window);
            ASSERT_NE(host, nullptr);
            // Its title is set once it is up: read it at the page loop's first pump.
            QMetaObject::invokeMethod(
                host, [this, host] { m_progressShown.push_back(host->windowTitle().toStdString()); },
                Qt::QueuedConnection);
            if (m_onProgress) m_onProgress(*host);
        };
    }
    ~CWindowUser() {
        m_qt.m_onModalShown = nullptr;
        m_qt.m_onModelessShown = nullptr;
    }
    CWindowUser(const CWindowUser&) = delete;
    CWindowUser& operator=(const CWindowUser&) = delete;

    // The next window expected: a dialog by its title, a message box as
    // "message " and its text.
    CWindowUser& Then(const std::string& name, Answer answer) {
        m_answers.push_back({name, std::move(answer)});
        return *this;
    }
    // A message box with this text and icon, answered with its OK button.
    CWindowUser& ThenMessage(const std::string& text, QMessageBox::Icon icon) {
        return Then("message " + text, [icon](QWidget& window) {
            auto& box = static_cast<QMessageBox&>(window);
            EXPECT_EQ(box.icon(), icon) << box.text().toStdString();
            EXPECT_EQ(box.windowTitle(), QStringLiteral("Pelican"));
            Click(box.button(QMessageBox::Ok));
        });
    }

    static ui::CQtDialogHost& Host(QWidget& window) {
        auto* host = dynamic_cast<ui::CQtDialogHost*>(&window);
        EXPECT_NE(host, nullptr) << window.windowTitle().toStdString();
        return *host;
    }
    static void Click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    // Replaces the text of an edit field as typed: all selected, then keys.
    static void Type(QWidget* field, const std::string& text) {
        auto* edit = qobject_cast<QLineEdit*>(field);
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromStdString(text));
    }
    static std::string Text(QWidget* field) {
        auto* edit = qobject_cast<QLineEdit*>(field);
        return edit != nullptr ? edit->text().toStdString() : std::string("(no edit field)");
    }

    bool Done() const { return m_answers.empty(); }

    // Every modal window shown, by the names above, in order.
    std::vector<std::string> m_shown;
    // The titles of the progress windows, in order, and what to do as each
    // opens (the page loop has not run yet; what it posts to the window
    // comes at the loop's first pump).
    std::vector<std::string> m_progressShown;
    std::function<void(ui::CQtDialogHost& progress)> m_onProgress;

private:
    static std::string NameOf(QWidget& window) {
        if (auto* box = qobject_cast<QMessageBox*>(&window)) return "message " + box->text().toStdString();
        return window.windowTitle().toStdString();
    }

    void Shown(QWidget& window) {
        const std::string name = NameOf(window);
        m_shown.push_back(name);
        if (m_answers.empty() || m_answers.front().first != name) {
            ADD_FAILURE() << "window \"" << name << "\" where the test expected "
                          << (m_answers.empty() ? std::string("none") : "\"" + m_answers.front().first + "\"");
            Dismiss(window);
            return;
        }
        Answer answer = std::move(m_answers.front().second);
        m_answers.pop_front();
        answer(window);
    }

    static void Dismiss(QWidget& window) {
        if (auto* box = qobject_cast<QMessageBox*>(&window)) {
            box->done(QMessageBox::Ok);
        } else if (auto* host = dynamic_cast<ui::CQtDialogHost*>(&window)) {
            host->End(ui::IDCANCEL);
        } else if (auto* dialog = qobject_cast<QDialog*>(&window)) {
            dialog->reject();
        }
    }

    ui::CQtBackend& m_qt;
    std::deque<std::pair<std::string, Answer>> m_answers;
};

}  // namespace pelican::test
