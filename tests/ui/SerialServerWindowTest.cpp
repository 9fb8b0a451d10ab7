// The window on a station that draws its numbers from a serial server, against
// a throwaway PostgreSQL cluster: Next SN follows the pool, a number that only
// follows it is no change to ask about, and the About box names the server.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "platform/ini/IniFile.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"
#include "ui/ErrorGuard.h"
#include "ui/FileChooser.h"
#include "ui/Principal.h"
#ifdef VELMORIN_SERIAL_SERVER
#include "pgcluster/PgCluster.h"
#include "server/SerialPools.h"
#include "server/ServerSerialSource.h"
#endif

using namespace velmorin;
using velmorin::test::ScriptedOperator;
using velmorin::test::TempDir;
using velmorin::test::WriteFileBytes;

class SerialServerWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void serializeOneFollowsThePool();

 private:
#ifdef VELMORIN_SERIAL_SERVER
  std::unique_ptr<PgCluster> FCluster;
#endif
};

void SerialServerWindowTest::initTestCase() {
#ifndef VELMORIN_SERIAL_SERVER
  QSKIP("this build has no serial server (libpq was not found)");
#else
  if (const auto why = PgCluster::Unavailable()) QSKIP(why->c_str());
  FCluster = std::make_unique<PgCluster>();
  FCluster->Start();
  SerialPools(FCluster->ConnectionString()).InitSchema();
#endif
}

void SerialServerWindowTest::cleanupTestCase() {
#ifdef VELMORIN_SERIAL_SERVER
  FCluster.reset();
#endif
}

void SerialServerWindowTest::serializeOneFollowsThePool() {
#ifdef VELMORIN_SERIAL_SERVER
  TempDir dir;
  const std::string ini = dir.File("velmorin.ini");
  const std::string skeleton = dir.File("board.hex");
  WriteFileBytes(skeleton, ":0400000001020304F2\r\n:00000001FF\r\n");
  IniFile::Changes changes;
  changes.WriteString(skeleton, "NextSeqNum", "5")
      .WriteString(skeleton, "AutoIncSeq", "1")
      .WriteString(skeleton, "SeqNumSize", "4")
      .WriteString(skeleton, "SetSeqNumOfs1", "1")
      .WriteString(skeleton, "DontBurn", "1")
      .WriteString(skeleton, "OutputFolder", dir.Path().string())
      .WriteString(dir.File("other.hex"), "NextSeqNum", "1")
      .WriteString("Options", "DefaultImg", "0")
      .WriteString("Options", "SerialServer", FCluster->ConnectionString() + " password=s3cret");
  IniFile(ini).Apply(changes);
  SerialPools pools(FCluster->ConnectionString());
  pools.Create("board", 3000, std::nullopt);

  ScriptedOperator op;
  QueuedFileChooser chooser;
  std::vector<std::string> errors;
  const ErrorReporter oldReporter =
      SetErrorReporter([&](const std::string& message) { errors.push_back(message); });
  {
    TFormPrincipal window({ini, &op, &chooser});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.FEdNextSeqNum->text(), QString("3000"));

    // The field follows the pool, not the file's 5: switching entries asks
    // nothing, since the operator changed nothing.
    window.FCbSkelFile->setFocus();
    QTest::keyClick(window.FCbSkelFile, Qt::Key_Down);
    QCOMPARE(window.FCbSkelFile->currentIndex(), 1);
    QVERIFY(op.boxes.empty());

    // Another station takes one meanwhile; back on board.hex the field shows
    // the pool's next, and Serialize 1 takes it.
    ServerSerialSource(FCluster->ConnectionString())
        .Take({"board", "other", skeleton, 0}, [](std::int32_t) {});
    QTest::keyClick(window.FCbSkelFile, Qt::Key_Up);
    QCOMPARE(window.FEdNextSeqNum->text(), QString("3001"));
    op.answers = {mrOk};
    QTest::mouseClick(window.FBtnSerializeOne, Qt::LeftButton);
    QCOMPARE(op.boxes.back().text, std::string("Image serialized OK."));
    QVERIFY(std::filesystem::exists(dir.File("board_3001.hex")));
    QCOMPARE(window.FEdNextSeqNum->text(), QString("3002"));
    QCOMPARE(pools.Find("board")->Next, std::int64_t{3002});
    QCOMPARE(IniFile(ini).ReadInteger(skeleton, "NextSeqNum", 0), 3002);

    // The About box names the server's host and database, not its password.
    op.answers = {mrOk};
    QTest::mouseClick(window.FBtnAbout, Qt::LeftButton);
    const std::string about = op.boxes.back().text;
    QVERIFY2(about.find("Serial numbers: host " + FCluster->Folder().string()) != std::string::npos,
             about.c_str());
    QVERIFY2(about.find("database velmorin") != std::string::npos, about.c_str());
    QVERIFY2(about.find("s3cret") == std::string::npos, about.c_str());
    QCOMPARE(op.boxes.size(), std::size_t{2});
  }
  SetErrorReporter(oldReporter);
  QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
  QCOMPARE(op.unanswered, 0);
#endif
}

QTEST_MAIN(SerialServerWindowTest)
#include "SerialServerWindowTest.moc"
