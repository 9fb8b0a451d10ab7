// The main window: one fixed-size dialog whose controls are the working copy of
// the current profile, the list of profiles and the commands. The session (the
// profile store and the serializer) does the work; the window shows its values
// (it is its ProfileView) and runs it from thin event handlers.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/FileChooser.h"
#include "platform/ini/IniLocation.h"
#include "serialize/Operator.h"
#include "profiles/ProfileStore.h"
#include "profiles/ProfileView.h"
#include "serialize/Session.h"
#include "ui/SpinEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace velmorin {

class TFormPrincipal : public QDialog, public ProfileView {
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
  ProfileStore& Store() { return FSession->Store(); }

  // The text of the About box, which names the file holding the profiles.
  // `serialServer`: the serial server's description, empty when there is none.
  static std::string AboutText(const std::string& iniPath, const std::string& serialServer = {});

  // ProfileView, over the controls.
  ProfileSettings Settings() const override;
  void SetSettings(const ProfileSettings& settings) override;
  std::int32_t NextSeqNum() const override;
  void SetNextSeqNum(std::int32_t value) override;
  std::string SkelFileText() const override;
  void SetSkelFileText(const std::string& text) override;
  std::vector<std::string> SkelFileItems() const override;
  void SetSkelFileItems(const std::vector<std::string>& items) override;
  void AddSkelFileItem(const std::string& item) override;
  void DeleteSkelFileItem(int index) override;
  int SkelFileIndex() const override;
  void SetSkelFileIndex(int index) override;
  bool ForgetChanges() const override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;

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
  bool FShown = false;
  bool FDestroyed = false;
  bool FIniFileRefused = false;
};

}  // namespace velmorin
