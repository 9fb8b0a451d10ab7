// The main window: one fixed-size dialog whose controls show the session's
// working profile, the list of profiles and the commands. The session does
// the work: the window hands it each edit as the operator makes it, so that
// the values in the fields are always the ones an image uses, shows what the
// session changes (it is its observer), and runs it from thin event handlers.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini/IniLocation.h"
#include "serialize/Operator.h"
#include "serialize/Session.h"
#include "serialize/SessionObserver.h"
#include "ui/FileChooser.h"
#include "ui/SpinEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace velmorin {

class TFormPrincipal : public QDialog, public SessionObserver {
  Q_OBJECT

 public:
  // What the window talks to. Left empty, each is the program's own: the INI
  // file where LocateIniFile puts it, the real message boxes, the real dialogs.
  struct Services {
    std::string IniPath;
    Operator* Op = nullptr;
    FileChooser* Chooser = nullptr;
  };

  explicit TFormPrincipal(QWidget* parent = nullptr);
  explicit TFormPrincipal(Services services, QWidget* parent = nullptr);
  ~TFormPrincipal() override;

  TFormPrincipal(const TFormPrincipal&) = delete;
  TFormPrincipal& operator=(const TFormPrincipal&) = delete;

  const std::string& IniPath() const { return FIniLocation.Path; }
  // True when another copy of the program held the INI file at start: the
  // window told the operator and closes without touching the file.
  bool IniFileRefused() const { return FIniFileRefused; }
  // The session the window shows, for reading what it holds.
  const Session& WorkingSession() const { return *FSession; }

  // The text of the About box, which names the file holding the profiles.
  // `serialServer`: the serial server's description, empty when there is none.
  static std::string AboutText(const std::string& iniPath, const std::string& serialServer = {});

  // SessionObserver: what the session changed, shown in the controls.
  void ProfileShown(const ProfileSettings& settings) override;
  void NextSeqNumShown(std::int32_t value) override;
  void SkeletonBoxShown(const std::vector<std::string>& names, int selected,
                        const std::string& text) override;
  void ProgressRangeShown(int minimum, int maximum) override;
  void ProgressShown(int position) override;

  // The seventeen values as the fields show them: the ones handed to the
  // session with each edit.
  ProfileSettings ShownSettings() const;

  // The controls, in tab order; each widget's objectName is its member's name.
  QComboBox* FCbSkelFile;
  QPushButton* FBtnBrowseSkelFile;
  QPushButton* FBtnAdd;
  QPushButton* FBtnModify;
  QPushButton* FBtnRemove;
  QCheckBox* FCkForgetChanges;
  SpinEdit* FEdNextSeqNum;
  SpinEdit* FEdSeqNumSize;
  QComboBox* FCbByteOrder;
  QCheckBox* FCkAutoIncSeq;
  QCheckBox* FCkDontSave;
  QLineEdit* FEdOutputFolder;
  QPushButton* FBtnBrowseOutputFolder;
  QCheckBox* FCkSeqNumOfs1;
  SpinEdit* FEdSeqNumOfs1;
  QCheckBox* FCkSeqNumOfs2;
  SpinEdit* FEdSeqNumOfs2;
  QCheckBox* FCkSeqNumOfs3;
  SpinEdit* FEdSeqNumOfs3;
  QCheckBox* FCkSeqNumOfs4;
  SpinEdit* FEdSeqNumOfs4;
  QCheckBox* FCkDontBurn;
  QCheckBox* FCkHideBurner;
  QLineEdit* FEdBurnerCmdLine;
  QPushButton* FBtnBrowseBurner;
  QPushButton* FBtnSerializeOne;
  QPushButton* FBtnSerialize;
  QPushButton* FBtnAbout;
  QPushButton* FBtnExit;
  QProgressBar* FPbSerialize;

 public slots:
  // Event handlers. Each is thin and runs its body through the error guard, so
  // no exception leaves it: errors are shown in the error box.
  void FormShow();
  void FormDestroy();
  void FCbSkelFileSelect();
  void FBtnBrowseSkelFileClick();
  void FBtnAddClick();
  void FBtnModifyClick();
  void FBtnRemoveClick();
  void FBtnBrowseOutputFolderClick();
  void FCkSeqNumOfs1Click();
  void FCkSeqNumOfs2Click();
  void FCkSeqNumOfs3Click();
  void FCkSeqNumOfs4Click();
  void FBtnBrowseBurnerClick();
  void FBtnSerializeOneClick();
  void FBtnSerializeClick();
  void FBtnAboutClick();
  void FBtnExitClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void ConnectHandlers();
  // Hands the fields' values to the session; nothing while the window shows
  // what the session changed (the session holds those already).
  void HandOverEdit();
  // Enables address field `slot` (1 to 4) exactly when its "SN Ofs" box is checked.
  void UpdateSeqNumOfsField(int slot);
  void CentreOnScreen();

  std::array<QCheckBox*, 4> SeqNumOfsBoxes() const;
  std::array<SpinEdit*, 4> SeqNumOfsFields() const;

  IniLocation FIniLocation;
  std::unique_ptr<Operator> FOwnOperator;
  std::unique_ptr<FileChooser> FOwnChooser;
  Operator* FOperator;
  FileChooser* FChooser;
  // The profiles and the serializer; the store is open from the first
  // showing to the window's end.
  std::unique_ptr<Session> FSession;
  // True while the controls are set to what the session holds.
  bool FShowingSession = false;
  bool FShown = false;
  bool FDestroyed = false;
  bool FIniFileRefused = false;
};

}  // namespace velmorin
