#include "common/textformat.h"

#include <QTest>

using namespace Qt::StringLiterals;
using TextFormat::Align;
using TextFormat::Pattern;

class TestTextFormat : public QObject {
    Q_OBJECT
private slots:
    void fixedWidth_data();
    void fixedWidth();
    void patterns_data();
    void patterns();
    void readNumber_data();
    void readNumber();
    void yearFirst();
    void numberFields();
};

void TestTextFormat::fixedWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("right");
    QTest::addColumn<QString>("expected");
    QTest::newRow("padded") << u"ROMA"_s << 6 << false << u"ROMA  "_s;
    QTest::newRow("cut") << u"SAN GIOVANNI"_s << 3 << false << u"SAN"_s;
    QTest::newRow("exact") << u"ABC"_s << 3 << false << u"ABC"_s;
    QTest::newRow("right aligned") << u"7,50"_s << 6 << true << u"  7,50"_s;
    QTest::newRow("right aligned cut keeps the start") << u"1234567"_s << 6 << true << u"123456"_s;
    QTest::newRow("empty") << QString() << 4 << false << u"    "_s;
    QTest::newRow("accents count as one") << u"CANTÙ"_s << 6 << false << u"CANTÙ "_s;
    QTest::newRow("zero width") << u"X"_s << 0 << false << QString();
}

void TestTextFormat::fixedWidth()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(bool, right);
    QFETCH(QString, expected);
    QCOMPARE(TextFormat::fixedWidth(text, width, right ? Align::Right : Align::Left), expected);
}

void TestTextFormat::patterns_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("comma");
    QTest::addColumn<QString>("point");
    const int zeros = int(Pattern::LeadingZeros);
    const int noZero = int(Pattern::NoZeroInteger);
    const int oneDigit = int(Pattern::OneDigit);
    QTest::newRow("000.00 small") << 7.5 << zeros << u"007,50"_s << u"007.50"_s;
    QTest::newRow("000.00 zero") << 0.0 << zeros << u"000,00"_s << u"000.00"_s;
    QTest::newRow("000.00 wide") << 1234.25 << zeros << u"1234,25"_s << u"1234.25"_s;
    QTest::newRow("000.00 rounds") << 2.675 << zeros << u"002,67"_s << u"002.67"_s;
    QTest::newRow("000.00 rounds up") << 9.999 << zeros << u"010,00"_s << u"010.00"_s;
    QTest::newRow("###.00 fraction") << 0.5 << noZero << u",50"_s << u".50"_s;
    QTest::newRow("###.00 zero") << 0.0 << noZero << u",00"_s << u".00"_s;
    QTest::newRow("###.00 whole") << 12.0 << noZero << u"12,00"_s << u"12.00"_s;
    QTest::newRow("##0.00 fraction") << 0.25 << oneDigit << u"0,25"_s << u"0.25"_s;
    QTest::newRow("##0.00 hundreds") << 120.0 << oneDigit << u"120,00"_s << u"120.00"_s;
    QTest::newRow("negative") << -3.5 << oneDigit << u"-3,50"_s << u"-3.50"_s;
    QTest::newRow("negative rounding to zero") << -0.001 << oneDigit << u"0,00"_s << u"0.00"_s;
}

void TestTextFormat::patterns()
{
    QFETCH(double, value);
    QFETCH(int, pattern);
    QFETCH(QString, comma);
    QFETCH(QString, point);
    QCOMPARE(TextFormat::formatNumber(value, Pattern(pattern), QLocale(QLocale::Italian, QLocale::Italy)), comma);
    QCOMPARE(TextFormat::formatNumber(value, Pattern(pattern), QLocale::c()), point);
}

void TestTextFormat::readNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << u"8"_s << true << 8.0;
    QTest::newRow("locale comma") << u"7,5"_s << true << 7.5;
    QTest::newRow("point too") << u"7.5"_s << true << 7.5;
    QTest::newRow("leading zero") << u"06"_s << true << 6.0;
    QTest::newRow("decimal zero") << u"6.0"_s << true << 6.0;
    QTest::newRow("blanks around") << u"  3,25 "_s << true << 3.25;
    QTest::newRow("no integer part") << u",5"_s << true << 0.5;
    QTest::newRow("negative") << u"-2"_s << true << -2.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("blanks") << u"   "_s << false << 0.0;
    QTest::newRow("letters") << u"abc"_s << false << 0.0;
    QTest::newRow("trailing letter") << u"7h"_s << false << 0.0;
    QTest::newRow("two separators") << u"1,2,3"_s << false << 0.0;
    QTest::newRow("thousands and decimals") << u"1.000,5"_s << false << 0.0;
    QTest::newRow("exponent") << u"1e5"_s << false << 0.0;
    QTest::newRow("sign alone") << u"-"_s << false << 0.0;
    QTest::newRow("blank inside") << u"1 5"_s << false << 0.0;
    QTest::newRow("infinity") << u"inf"_s << false << 0.0;
}

void TestTextFormat::readNumber()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const auto read = TextFormat::readNumber(typed, QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(read.has_value(), valid);
    if (valid)
        QCOMPARE(*read, value);
    // The same with a point locale: a comma is read as the separator all the same.
    QCOMPARE(TextFormat::readNumber(typed, QLocale::c()), read);
}

void TestTextFormat::yearFirst()
{
    QCOMPARE(TextFormat::yearFirst(u"01/02/2010"_s), u"2010/02/01"_s);
    QCOMPARE(TextFormat::yearFirst(u"31/12/1999"_s), u"1999/12/31"_s);
    QVERIFY(TextFormat::yearFirst(u"15/03/2010"_s) > TextFormat::yearFirst(u"16/02/2010"_s));
    QCOMPARE(TextFormat::yearFirst(QString()), QString());
}

void TestTextFormat::numberFields()
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QCOMPARE(TextFormat::numberField(u",50"_s, 6, italian), u"   ,50"_s);
    QCOMPARE(TextFormat::numberField(u"123,25"_s, 6, italian), u"123,25"_s);
    // Decimals give way first, then the separator; whole digits never.
    QCOMPARE(TextFormat::numberField(u"1234,50"_s, 6, italian), u"1234,5"_s);
    QCOMPARE(TextFormat::numberField(u"10000,00"_s, 6, italian), u" 10000"_s);
    QCOMPARE(TextFormat::numberField(u"123456,00"_s, 6, italian), u"123456"_s);
    QCOMPARE(TextFormat::numberField(u"1234567.00"_s, 6, QLocale::c()), u"1234567"_s);
}

QTEST_APPLESS_MAIN(TestTextFormat)
#include "tst_textformat.moc"
