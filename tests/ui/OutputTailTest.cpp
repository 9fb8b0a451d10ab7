// The tail between the burner's pipe and its box: line ends, long lines, and
// the bound on what waits between two refreshes.
#include <QtTest>

#include "ui/OutputTail.h"

using namespace velmorin;

namespace {

// Appends `chunks` one after another, then takes once.
QString TakeAfter(OutputTail& tail, const QStringList& chunks, bool& replacesAll) {
  for (const QString& chunk : chunks) tail.Append(chunk);
  return tail.Take(replacesAll);
}

}  // namespace

class OutputTailTest : public QObject {
  Q_OBJECT

 private slots:
  void shapesText_data();
  void shapesText();
  void longLinesBreakAcrossTakes();
  void keepsOnlyTheNewestLines();
  void floodStaysBounded();
};

void OutputTailTest::shapesText_data() {
  QTest::addColumn<QStringList>("chunks");
  QTest::addColumn<QString>("expected");
  // Four lines of four characters at most.
  QTest::newRow("plain lines") << QStringList{"ab\ncd\n"} << QString("ab\ncd\n");
  QTest::newRow("CR LF ends one line") << QStringList{"ab\r\ncd\r", "\n"} << QString("ab\ncd\n");
  QTest::newRow("unfinished line goes on") << QStringList{"ab", "cd", "\n"} << QString("abcd\n");
  QTest::newRow("long line broken at the limit")
      << QStringList{"abcdefghij"} << QString("abcd\nefgh\nij");
  QTest::newRow("break carried across chunks")
      << QStringList{"abc", "de", "fghi"} << QString("abcd\nefgh\ni");
  QTest::newRow("exactly the limit needs no break") << QStringList{"abcd\n"} << QString("abcd\n");
  QTest::newRow("newest lines only") << QStringList{"1\n2\n3\n4\n5\n6\n7"} << QString("5\n6\n7");
  QTest::newRow("broken pieces count as lines")
      << QStringList{"aaaabbbbccccddddee"} << QString("cccc\ndddd\nee");
}

void OutputTailTest::shapesText() {
  QFETCH(QStringList, chunks);
  QFETCH(QString, expected);
  OutputTail tail(3, 4);
  bool replacesAll = false;
  QCOMPARE(TakeAfter(tail, chunks, replacesAll), expected);
  QVERIFY(tail.Empty());
}

void OutputTailTest::longLinesBreakAcrossTakes() {
  // The column lives on after a Take, since the box goes on with that line.
  OutputTail tail(100, 4);
  bool replacesAll = false;
  QCOMPARE(TakeAfter(tail, {"abc"}, replacesAll), QString("abc"));
  QCOMPARE(TakeAfter(tail, {"defg"}, replacesAll), QString("d\nefg"));
  QCOMPARE(TakeAfter(tail, {"\nxy"}, replacesAll), QString("\nxy"));
  QVERIFY(!replacesAll);
}

void OutputTailTest::keepsOnlyTheNewestLines() {
  OutputTail tail(3, 80);
  bool replacesAll = false;
  QCOMPARE(TakeAfter(tail, {"a\nb\n"}, replacesAll), QString("a\nb\n"));
  QVERIFY(!replacesAll);
  // More than the box holds: the older ones are dropped, and the box is told
  // that what it shows can go.
  QCOMPARE(TakeAfter(tail, {"c\nd\ne\nf\n"}, replacesAll), QString("e\nf\n"));
  QVERIFY(replacesAll);
  QCOMPARE(TakeAfter(tail, {"g"}, replacesAll), QString("g"));
  QVERIFY(!replacesAll);
  QCOMPARE(TakeAfter(tail, {}, replacesAll), QString());
}

void OutputTailTest::floodStaysBounded() {
  // A million lines between two refreshes: what waits stays within the box's
  // size, and the newest line survives.
  constexpr int kLines = 50;
  constexpr int kWidth = 10;
  OutputTail tail(kLines, kWidth);
  const QString line = "0123456789abcdef\n";  // broken into two lines each
  QString chunk;
  for (int i = 0; i < 1000; ++i) chunk += line;
  for (int i = 0; i < 1000; ++i) tail.Append(chunk);
  tail.Append(QStringLiteral("last"));
  bool replacesAll = false;
  const QString text = tail.Take(replacesAll);
  QVERIFY(replacesAll);
  QVERIFY(text.endsWith("abcdef\nlast"));
  QCOMPARE(text.count(u'\n'), kLines - 1);
  QVERIFY(text.size() <= kLines * (kWidth + 1));
}

QTEST_GUILESS_MAIN(OutputTailTest)
#include "OutputTailTest.moc"
