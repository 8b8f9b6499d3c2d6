#include "TextTemplate.h"

QString TextTemplate::Fill(const QString& format, const QStringList& values) {
    QString result;
    result.reserve(format.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            result += c;
            continue;
        }
        const QChar conversion = format.at(i + 1);
        if (conversion == u'%') {
            result += u'%';
            ++i;
        } else if (conversion == u's' || conversion == u'd') {
            if (next < values.size()) {
                result += values.at(next);
            }
            ++next;
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}
