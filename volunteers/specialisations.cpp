#include "volunteers/specialisations.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {
QString decode(const QByteArray &content)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(content);
    if (!utf8.hasError())
        return text;
    QStringDecoder windows("windows-1252");
    if (windows.isValid())
        return windows.decode(content);
    return QString::fromLatin1(content);
}
} // namespace

QStringList readDelimitedItems(const QByteArray &content)
{
    const QString text = decode(content);
    QStringList items;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        while (i < size && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        QString item;
        if (i < size && text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? size : close;
            item = text.mid(i + 1, end - i - 1);
            i = close < 0 ? size : close + 1;
            // Whatever follows the closing quote up to the delimiter belongs to nothing.
            while (i < size && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
        } else {
            const qsizetype start = i;
            while (i < size && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
            item = text.mid(start, i - start).trimmed();
        }
        if (!item.isEmpty())
            items << item;
        // One delimiter ends the item; a CR LF pair counts as one line end.
        if (i < size && text[i] == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            ++i;
        if (i < size)
            ++i;
    }
    return items;
}
