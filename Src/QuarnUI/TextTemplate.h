#pragma once

#include <QString>
#include <QStringList>

// Fills the printf-style templates of the language files without handing a
// translated text to printf itself: each "%s" or "%d" takes the next of the
// given values, "%%" becomes "%", and every other "%" stays as written. A
// template with fewer conversions than values leaves the rest out; one with
// more leaves the surplus conversions empty.
class TextTemplate {
public:
    static QString Fill(const QString& format, const QStringList& values);
};
