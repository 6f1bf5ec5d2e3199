#include "traffic/ReceivedText.h"

namespace {

QString decoded(QByteArrayView bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// Control characters as dots, so that the text beside the hex keeps to one line and to the
// bytes' order.
QString dotted(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('.');
    return text;
}

QByteArrayView withoutLineEnd(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && (bytes.back() == '\r' || bytes.back() == '\n'))
        bytes.chop(1);
    return bytes;
}

} // namespace

QString ReceivedText::packetLine(QByteArrayView bytes, bool hex)
{
    if (!hex)
        return QString::fromLatin1(bytes);
    static const char digits[] = "0123456789ABCDEF";
    QString s;
    s.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        s += QLatin1Char(' ');
        s += QLatin1Char(digits[b >> 4]);
        s += QLatin1Char(digits[b & 0x0F]);
    }
    return s;
}

QString ReceivedText::formLine(QByteArrayView bytes, const Form &form)
{
    if (form.hexAndText)
        return packetLine(bytes, true) + QLatin1String("  ") + dotted(decoded(bytes, form.utf8));
    if (form.hex)
        return packetLine(bytes, true);
    return decoded(form.wholeLines ? withoutLineEnd(bytes) : bytes, form.utf8);
}

void ReceivedText::take(QByteArrayView packet, const Form &form, qint64 atMs, QList<Line> &out)
{
    if (!form.wholeLines) {
        out.append({formLine(packet, form), atMs});
        return;
    }
    const bool hexForm = form.hex || form.hexAndText;
    for (const char c : packet) {
        if (held_) {
            held_ = false;
            if (c == '\n') {
                open_ += c;
                end(form, out);
                continue;
            }
            end(form, out);
        }
        const bool lineEndOfLast = afterCr_ && c == '\n' && !hexForm;
        afterCr_ = false;
        if (lineEndOfLast)
            continue; // the LF of a CR LF whose line is shown
        if (open_.isEmpty())
            openAt_ = atMs;
        if (c == '\r') {
            if (hexForm) {
                open_ += c;
                held_ = true;
            } else {
                end(form, out);
                afterCr_ = true;
            }
        } else if (c == '\n') {
            if (hexForm)
                open_ += c;
            end(form, out);
        } else {
            open_ += c;
            if (open_.size() >= MaxOpenLine)
                end(form, out);
        }
    }
}

void ReceivedText::takeOpen(const Form &form, QList<Line> &out)
{
    if (held_)
        afterCr_ = true; // an LF still to come belongs to this line
    held_ = false;
    if (hasOpen())
        end(form, out);
}

void ReceivedText::clear()
{
    open_.clear();
    held_ = false;
    afterCr_ = false;
}

void ReceivedText::end(const Form &form, QList<Line> &out)
{
    out.append({formLine(open_, form), openAt_});
    open_.clear();
}
