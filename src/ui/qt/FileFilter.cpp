#include "ui/qt/FileFilter.h"

namespace pelican::ui {

QStringList ConvertFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString pattern = raw.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            if (!pattern.isEmpty() && !patterns.contains(pattern)) patterns << pattern;
        }
        if (name.isEmpty() && patterns.isEmpty()) continue;  // the closing "|"
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        // The name usually repeats its patterns in parentheses; Qt takes the
        // last parenthesised group as the patterns, so it is replaced.
        if (name.endsWith(QLatin1Char(')'))) {
            const qsizetype open = name.lastIndexOf(QLatin1Char('('));
            if (open >= 0) name = name.left(open).trimmed();
        }
        if (name.isEmpty()) name = patterns.join(QLatin1Char(' '));
        result << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

}  // namespace pelican::ui
