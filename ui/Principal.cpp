#include "ui/Principal.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <exception>

#include "Version.h"
#include "base/ParseInteger.h"
#include "platform/ini/IniLocation.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageForm.h"
#include "ui/QtBurnerRunner.h"
#include "ui/QtOperator.h"

namespace velmorin {

namespace {

constexpr int kClientWidth = 360;
constexpr int kClientHeight = 435;

constexpr const char* kSkelFileFilter = "HEX files (*.hex)|*.hex|All files (*.*)|*.*";
// The burner's file dialog is where the window differs by system: Windows
// programs carry ".exe", POSIX programs no extension at all.
#ifdef _WIN32
constexpr const char* kBurnerFilter = "Executable Files (*.exe)|*.exe|All files (*.*)|*.*";
constexpr const char* kBurnerSuffix = "exe";
#else
// Programs on POSIX carry no extension: an "*.exe" filter would hide every
// burner, and a default suffix would turn the chosen "avrdude" into a
// non-existent "avrdude.exe".
constexpr const char* kBurnerFilter = "All files (*)|*";
constexpr const char* kBurnerSuffix = "";
#endif

// The text field of the skeleton-file box. When the field loses the focus or
// takes Enter, Qt looks the typed text up in the list, selects a matching
// entry and reports it as if the operator had chosen it, which would load that
// profile. Typing in the box is to trigger nothing, so those two moments run
// with the field's signals held back; choosing from the list is unaffected.
class SkelFileEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusOutEvent(QFocusEvent* event) override {
    const QSignalBlocker quiet(this);
    QLineEdit::focusOutEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      const QSignalBlocker quiet(this);
      QLineEdit::keyPressEvent(event);
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

}  // namespace

TFormPrincipal::TFormPrincipal(QWidget* parent) : TFormPrincipal(Services{}, parent) {}

TFormPrincipal::TFormPrincipal(Services services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FIniLocation(services.IniPath.empty() ? LocateIniFile()
                                            : IniLocation{std::move(services.IniPath), false}),
      FOperator(services.Op),
      FChooser(services.Chooser) {
  if (FOperator == nullptr) {
    FOwnOperator = std::make_unique<TQtOperator>();
    FOperator = FOwnOperator.get();
  }
  if (FChooser == nullptr) {
    FOwnChooser = std::make_unique<QtFileChooser>(this);
    FChooser = FOwnChooser.get();
  }

  setObjectName(QStringLiteral("FormPrincipal"));
  setWindowTitle(QStringLiteral("Velmorin"));
  setFixedSize(kClientWidth, kClientHeight);
  setSizeGripEnabled(false);
  // The layout is in pixels for a narrow 8-point sans-serif face; where the
  // classic face is missing, take the narrowest look-alike there is.
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  font.setStretch(QFont::Condensed);
  setFont(font);

  CreateControls();

  FSession = std::make_unique<Session>(FIniLocation, *FOperator);
  FSession->SetObserver(this);
  // The running-burner box; a child object, so it outlives the session.
  FSession->SetBurnerRunner(*new TQtBurnerRunner(this, FPbSerialize));

  ConnectHandlers();
  // The session starts from what the fields show before the first showing.
  HandOverEdit();
  // Every box belongs to this window, whichever window is active.
  SetBoxOwner(this);
}

TFormPrincipal::~TFormPrincipal() {
  // A box from here on (an error while closing the store) owns itself.
  if (BoxOwner() == this) SetBoxOwner(nullptr);
  // A window destroyed without being closed still leaves its selection behind.
  FormDestroy();
}

void TFormPrincipal::CreateControls() {
  const auto place = [this](QWidget* widget, const char* name, int left, int top, int width,
                            int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
  };
  const auto button = [&](const char* name, const char* caption, QStyle::StandardPixmap picture,
                          int left, int top) {
    auto* b = new QPushButton(style()->standardIcon(picture), QString::fromLatin1(caption), this);
    b->setIconSize(QSize(16, 16));
    // Enter presses the push button that has the focus; elsewhere "Serialize 1".
    b->setAutoDefault(true);
    place(b, name, left, top, 75, 25);
    return b;
  };
  const auto checkBox = [&](const char* name, const char* caption, int left, int top, int width,
                            int height) {
    auto* c = new QCheckBox(QString::fromLatin1(caption), this);
    place(c, name, left, top, width, height);
    return c;
  };
  const auto spin = [&](const char* name, SpinEdit::Base base, int left, int top, int width) {
    auto* s = new SpinEdit(base, this);
    place(s, name, left, top, width, 21);
    return s;
  };
  const auto lineEdit = [&](const char* name, int left, int top) {
    auto* e = new QLineEdit(this);
    place(e, name, left, top, 265, 21);
    return e;
  };
  const auto label = [this](const char* text, int left, int top) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->move(left, top);
    l->adjustSize();
  };
  const auto separator = [this](int top) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, top, 345, 2);
  };
  using SP = QStyle::StandardPixmap;
  constexpr auto hex = SpinEdit::Base::Hexadecimal;

  label("Skeleton File", 8, 8);
  label("Next SN", 8, 88);
  label("SN Size", 100, 88);
  label("Byte Order", 192, 88);
  label("Output Folder", 8, 148);
  label("(output filename is <skel_file>_<seq_num>.hex)", 8, 188);
  label("Burner Cmd. Line", 8, 252);
  label("(use $image for the input filename)", 8, 292);
  label("Progress", 8, 324);
  separator(80);
  separator(312);
  separator(392);

  FCbSkelFile = new QComboBox(this);
  FCbSkelFile->setEditable(true);
  FCbSkelFile->setLineEdit(new SkelFileEdit(FCbSkelFile));
  FCbSkelFile->setInsertPolicy(QComboBox::NoInsert);
  // Typing is plain text: no completion that would pick an entry behind the
  // operator's back.
  FCbSkelFile->setCompleter(nullptr);
  place(FCbSkelFile, "FCbSkelFile", 8, 24, 265, 21);
  FBtnBrowseSkelFile = button("FBtnBrowseSkelFile", "Browse...", SP::SP_DirOpenIcon, 276, 22);
  FBtnAdd = button("FBtnAdd", "Add", SP::SP_FileIcon, 8, 48);
  FBtnModify = button("FBtnModify", "Save", SP::SP_DialogSaveButton, 88, 48);
  FBtnRemove = button("FBtnRemove", "Remove", SP::SP_TrashIcon, 168, 48);
  FCkForgetChanges = checkBox("FCkForgetChanges", "Forget changes", 256, 56, 97, 17);
  FEdNextSeqNum = spin("FEdNextSeqNum", SpinEdit::Base::Decimal, 8, 104, 85);
  FEdSeqNumSize = spin("FEdSeqNumSize", hex, 100, 104, 85);
  FCbByteOrder = new QComboBox(this);
  FCbByteOrder->addItem(QStringLiteral("MSB First (Big Endian)"));
  FCbByteOrder->addItem(QStringLiteral("LSB First (Little Endian)"));
  place(FCbByteOrder, "FCbByteOrder", 192, 104, 159, 21);
  FCkAutoIncSeq = checkBox("FCkAutoIncSeq", "Auto Inc.", 8, 126, 61, 17);
  FCkDontSave = checkBox("FCkDontSave", "Don't save", 80, 146, 97, 17);
  FEdOutputFolder = lineEdit("FEdOutputFolder", 8, 164);
  FBtnBrowseOutputFolder =
      button("FBtnBrowseOutputFolder", "Browse...", SP::SP_DirOpenIcon, 276, 162);
  FCkSeqNumOfs1 = checkBox("FCkSeqNumOfs1", "SN Ofs #1", 8, 208, 73, 17);
  FEdSeqNumOfs1 = spin("FEdSeqNumOfs1", hex, 8, 224, 81);
  FEdSeqNumOfs1->SetReformatOnChange(true);
  FCkSeqNumOfs2 = checkBox("FCkSeqNumOfs2", "SN Ofs #2", 96, 208, 73, 17);
  FEdSeqNumOfs2 = spin("FEdSeqNumOfs2", hex, 95, 224, 81);
  FCkSeqNumOfs3 = checkBox("FCkSeqNumOfs3", "SN Ofs #3", 184, 208, 73, 17);
  FEdSeqNumOfs3 = spin("FEdSeqNumOfs3", hex, 182, 224, 81);
  FCkSeqNumOfs4 = checkBox("FCkSeqNumOfs4", "SN Ofs #4", 272, 208, 73, 17);
  FEdSeqNumOfs4 = spin("FEdSeqNumOfs4", hex, 270, 224, 81);
  FCkDontBurn = checkBox("FCkDontBurn", "Don't burn", 96, 250, 73, 19);
  FCkHideBurner = checkBox("FCkHideBurner", "Hide", 180, 250, 45, 19);
  FEdBurnerCmdLine = lineEdit("FEdBurnerCmdLine", 8, 268);
  FBtnBrowseBurner = button("FBtnBrowseBurner", "Browse...", SP::SP_DirOpenIcon, 276, 266);
  FBtnSerializeOne = button("FBtnSerializeOne", "Serialize 1", SP::SP_DialogApplyButton, 196, 360);
  FBtnSerializeOne->setDefault(true);
  FBtnSerialize = button("FBtnSerialize", "Serialize...", SP::SP_MediaSeekForward, 276, 360);
  FBtnAbout = button("FBtnAbout", "About...", SP::SP_MessageBoxInformation, 196, 404);
  FBtnExit = button("FBtnExit", "Exit", SP::SP_DialogCloseButton, 276, 404);
  FPbSerialize = new QProgressBar(this);
  FPbSerialize->setOrientation(Qt::Horizontal);
  FPbSerialize->setFocusPolicy(Qt::NoFocus);
  FPbSerialize->setTextVisible(false);
  FPbSerialize->setRange(0, 100);
  FPbSerialize->setValue(0);
  place(FPbSerialize, "FPbSerialize", 8, 340, 341, 13);

  const std::vector<QWidget*> tabOrder = {FCbSkelFile,
                                          FBtnBrowseSkelFile,
                                          FBtnAdd,
                                          FBtnModify,
                                          FBtnRemove,
                                          FCkForgetChanges,
                                          FEdNextSeqNum,
                                          FEdSeqNumSize,
                                          FCbByteOrder,
                                          FCkAutoIncSeq,
                                          FCkDontSave,
                                          FEdOutputFolder,
                                          FBtnBrowseOutputFolder,
                                          FCkSeqNumOfs1,
                                          FEdSeqNumOfs1,
                                          FCkSeqNumOfs2,
                                          FEdSeqNumOfs2,
                                          FCkSeqNumOfs3,
                                          FEdSeqNumOfs3,
                                          FCkSeqNumOfs4,
                                          FEdSeqNumOfs4,
                                          FCkDontBurn,
                                          FCkHideBurner,
                                          FEdBurnerCmdLine,
                                          FBtnBrowseBurner,
                                          FBtnSerializeOne,
                                          FBtnSerialize,
                                          FBtnAbout,
                                          FBtnExit};
  for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TFormPrincipal::ConnectHandlers() {
  connect(FCbSkelFile, &QComboBox::activated, this, &TFormPrincipal::FCbSkelFileSelect);
  connect(FBtnBrowseSkelFile, &QPushButton::clicked, this,
          &TFormPrincipal::FBtnBrowseSkelFileClick);
  connect(FBtnAdd, &QPushButton::clicked, this, &TFormPrincipal::FBtnAddClick);
  connect(FBtnModify, &QPushButton::clicked, this, &TFormPrincipal::FBtnModifyClick);
  connect(FBtnRemove, &QPushButton::clicked, this, &TFormPrincipal::FBtnRemoveClick);
  connect(FBtnBrowseOutputFolder, &QPushButton::clicked, this,
          &TFormPrincipal::FBtnBrowseOutputFolderClick);
  // toggled fires on every change of state, by the operator or by the program.
  connect(FCkSeqNumOfs1, &QCheckBox::toggled, this, &TFormPrincipal::FCkSeqNumOfs1Click);
  connect(FCkSeqNumOfs2, &QCheckBox::toggled, this, &TFormPrincipal::FCkSeqNumOfs2Click);
  connect(FCkSeqNumOfs3, &QCheckBox::toggled, this, &TFormPrincipal::FCkSeqNumOfs3Click);
  connect(FCkSeqNumOfs4, &QCheckBox::toggled, this, &TFormPrincipal::FCkSeqNumOfs4Click);
  connect(FBtnBrowseBurner, &QPushButton::clicked, this, &TFormPrincipal::FBtnBrowseBurnerClick);
  connect(FBtnSerializeOne, &QPushButton::clicked, this, &TFormPrincipal::FBtnSerializeOneClick);
  connect(FBtnSerialize, &QPushButton::clicked, this, &TFormPrincipal::FBtnSerializeClick);
  connect(FBtnAbout, &QPushButton::clicked, this, &TFormPrincipal::FBtnAboutClick);
  connect(FBtnExit, &QPushButton::clicked, this, &TFormPrincipal::FBtnExitClick);

  // Every edit reaches the session as it is made, the program's own changes
  // of a field (a browse handler, the start-up's slot states) too.
  for (SpinEdit* field :
       {FEdNextSeqNum, FEdSeqNumSize, FEdSeqNumOfs1, FEdSeqNumOfs2, FEdSeqNumOfs3, FEdSeqNumOfs4}) {
    connect(field->Editor(), &QLineEdit::textChanged, this, &TFormPrincipal::HandOverEdit);
  }
  for (QLineEdit* field : {FEdOutputFolder, FEdBurnerCmdLine}) {
    connect(field, &QLineEdit::textChanged, this, &TFormPrincipal::HandOverEdit);
  }
  for (QCheckBox* box : {FCkAutoIncSeq, FCkDontSave, FCkSeqNumOfs1, FCkSeqNumOfs2, FCkSeqNumOfs3,
                         FCkSeqNumOfs4, FCkDontBurn, FCkHideBurner}) {
    connect(box, &QCheckBox::toggled, this, &TFormPrincipal::HandOverEdit);
  }
  connect(FCbByteOrder, &QComboBox::currentIndexChanged, this, &TFormPrincipal::HandOverEdit);
  connect(FCkForgetChanges, &QCheckBox::toggled, this, [this](bool checked) {
    if (!FShowingSession) FSession->Profile().EditForgetChanges(checked);
  });
  connect(FCbSkelFile, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (!FShowingSession) FSession->Profile().EditSkeletonText(FromQt(text));
  });
  connect(FCbSkelFile, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (FShowingSession) return;
    FSession->Profile().EditSelectedIndex(index);
    FSession->Profile().EditSkeletonText(FromQt(FCbSkelFile->currentText()));
  });
}

void TFormPrincipal::HandOverEdit() {
  if (!FShowingSession) FSession->Profile().EditSettings(ShownSettings());
}

std::array<QCheckBox*, 4> TFormPrincipal::SeqNumOfsBoxes() const {
  return {FCkSeqNumOfs1, FCkSeqNumOfs2, FCkSeqNumOfs3, FCkSeqNumOfs4};
}

std::array<SpinEdit*, 4> TFormPrincipal::SeqNumOfsFields() const {
  return {FEdSeqNumOfs1, FEdSeqNumOfs2, FEdSeqNumOfs3, FEdSeqNumOfs4};
}

std::string TFormPrincipal::AboutText(const std::string& iniPath, const std::string& serialServer) {
  const std::string eol = "\r\n";
  // The file holding the profiles, so the operator knows what to back up;
  // and, when the numbers are shared, where they come from.
  const std::string server = serialServer.empty() ? "" : "Serial numbers: " + serialServer + eol;
  return std::string(version::kProductName) + eol + "Version " + version::kShortVersion + " " +
         version::kPlatformName + eol + "Profiles: " + iniPath + eol + server + eol +
         "Stamps serial numbers into Intel HEX images and hands them to the burner." + eol +
         "File version " + version::kFileVersion + ", product version " + version::kProductVersion +
         ".";
}

// ---------------------------------------------------------------------------
// The controls and the session's working profile

ProfileSettings TFormPrincipal::ShownSettings() const {
  ProfileSettings s;
  s.NextSeqNum = FEdNextSeqNum->Value();
  s.AutoIncSeq = FCkAutoIncSeq->isChecked();
  s.SeqNumSize = FEdSeqNumSize->Value();
  const auto boxes = SeqNumOfsBoxes();
  const auto fields = SeqNumOfsFields();
  for (std::size_t k = 0; k < 4; ++k) {
    s.SetSeqNumOfs[k] = boxes[k]->isChecked();
    s.SeqNumOfs[k] = fields[k]->Value();
  }
  // The list's entries in their order; no entry is a byte order not chosen.
  switch (FCbByteOrder->currentIndex()) {
    case 0:
      s.ByteOrder = SerialByteOrder::MsbFirst;
      break;
    case 1:
      s.ByteOrder = SerialByteOrder::LsbFirst;
      break;
    default:
      s.ByteOrder = SerialByteOrder::Unchosen;
  }
  s.BurnerCmdLine = FromQt(FEdBurnerCmdLine->text());
  s.DontBurn = FCkDontBurn->isChecked();
  s.HideBurner = FCkHideBurner->isChecked();
  s.OutputFolder = FromQt(FEdOutputFolder->text());
  s.DontSave = FCkDontSave->isChecked();
  return s;
}

void TFormPrincipal::ProfileShown(const ProfileSettings& s) {
  const QScopedValueRollback<bool> showing(FShowingSession, true);
  FEdNextSeqNum->SetValue(s.NextSeqNum);
  FCkAutoIncSeq->setChecked(s.AutoIncSeq);
  FEdSeqNumSize->SetValue(s.SeqNumSize);
  const auto boxes = SeqNumOfsBoxes();
  const auto fields = SeqNumOfsFields();
  for (std::size_t k = 0; k < 4; ++k) {
    boxes[k]->setChecked(s.SetSeqNumOfs[k]);
    fields[k]->SetValue(s.SeqNumOfs[k]);
  }
  // A byte order not chosen leaves the list without a selected entry.
  FCbByteOrder->setCurrentIndex(s.ByteOrder == SerialByteOrder::MsbFirst   ? 0
                                : s.ByteOrder == SerialByteOrder::LsbFirst ? 1
                                                                           : -1);
  FEdBurnerCmdLine->setText(ToQt(s.BurnerCmdLine));
  FCkDontBurn->setChecked(s.DontBurn);
  FCkHideBurner->setChecked(s.HideBurner);
  FEdOutputFolder->setText(ToQt(s.OutputFolder));
  FCkDontSave->setChecked(s.DontSave);
}

void TFormPrincipal::NextSeqNumShown(std::int32_t value) {
  const QScopedValueRollback<bool> showing(FShowingSession, true);
  FEdNextSeqNum->SetValue(value);
  // A batch does not return to the event loop between images; show the
  // advanced number now.
  FEdNextSeqNum->repaint();
}

void TFormPrincipal::SkeletonBoxShown(const std::vector<std::string>& names, int selected,
                                      const std::string& text) {
  const QScopedValueRollback<bool> showing(FShowingSession, true);
  bool same = FCbSkelFile->count() == static_cast<int>(names.size());
  for (int i = 0; same && i < FCbSkelFile->count(); ++i) {
    same = FromQt(FCbSkelFile->itemText(i)) == names[static_cast<std::size_t>(i)];
  }
  if (!same) {
    FCbSkelFile->clear();
    for (const std::string& name : names) FCbSkelFile->addItem(ToQt(name));
  }
  // Qt selects the first entry put into an empty list and moves to a
  // neighbour of a deleted one; the session decides the selection here.
  FCbSkelFile->setCurrentIndex(selected);
  FCbSkelFile->setEditText(ToQt(text));
}

void TFormPrincipal::ProgressRangeShown(int minimum, int maximum) {
  FPbSerialize->setRange(minimum, maximum);
}

void TFormPrincipal::ProgressShown(int position) {
  FPbSerialize->setValue(position);
  // Painted at once: a batch keeps the event loop waiting until it ends.
  FPbSerialize->repaint();
}

// ---------------------------------------------------------------------------
// Event handlers

void TFormPrincipal::FormShow() {
  RunGuarded([this] {
    // A selected profile that loads only in part (a refused optional key, a
    // serial server that can't be asked) still leaves the window started as
    // usual; the error box then says why.
    std::exception_ptr loadRefused;
    try {
      loadRefused = FSession->Open();
    } catch (const EIniFileInUse&) {
      FIniFileRefused = true;
      throw;  // the error box says so and names the file
    }
    FCkForgetChanges->setChecked(false);
    // Slot 1 on, slots 2 to 4 off, whatever the profile holds; the addresses
    // themselves stay as loaded.
    const auto boxes = SeqNumOfsBoxes();
    for (std::size_t k = 0; k < 4; ++k) {
      boxes[k]->setChecked(k == 0);
      UpdateSeqNumOfsField(static_cast<int>(k) + 1);
    }
    if (loadRefused) std::rethrow_exception(loadRefused);
  });
  // The file belongs to the other copy: once the box is gone, this one ends.
  if (FIniFileRefused) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TFormPrincipal::FormDestroy() {
  // Runs once, from the first of close and destruction, and only for a window
  // that opened its store.
  if (!FShown || FDestroyed) return;
  FDestroyed = true;
  RunGuarded([this] { FSession->Close(); });
}

void TFormPrincipal::FCbSkelFileSelect() {
  RunGuarded([this] { FSession->LoadSelectedProfile(); });
}

void TFormPrincipal::FBtnBrowseSkelFileClick() {
  RunGuarded([this] {
    FileDialogOptions options;
    options.InitialFolder = ".";
    options.Filter = kSkelFileFilter;
    const std::optional<std::string> path = FChooser->ChooseFile(options);
    // The choice replaces the current profile without a question.
    if (path) FSession->LoadChosenFile(*path);
  });
}

void TFormPrincipal::FBtnAddClick() {
  RunGuarded([this] { FSession->AddProfile(); });
}

void TFormPrincipal::FBtnModifyClick() {
  RunGuarded([this] { FSession->SaveProfile(); });
}

void TFormPrincipal::FBtnRemoveClick() {
  RunGuarded([this] { FSession->RemoveProfile(); });
}

void TFormPrincipal::FBtnBrowseOutputFolderClick() {
  RunGuarded([this] {
    const std::optional<std::string> folder = FChooser->ChooseFolder("Select Output Folder");
    if (folder) FEdOutputFolder->setText(ToQt(*folder));
  });
}

void TFormPrincipal::UpdateSeqNumOfsField(int slot) {
  const auto index = static_cast<std::size_t>(slot - 1);
  SeqNumOfsFields()[index]->setEnabled(SeqNumOfsBoxes()[index]->isChecked());
}

void TFormPrincipal::FCkSeqNumOfs1Click() {
  RunGuarded([this] { UpdateSeqNumOfsField(1); });
}

void TFormPrincipal::FCkSeqNumOfs2Click() {
  RunGuarded([this] { UpdateSeqNumOfsField(2); });
}

void TFormPrincipal::FCkSeqNumOfs3Click() {
  RunGuarded([this] { UpdateSeqNumOfsField(3); });
}

void TFormPrincipal::FCkSeqNumOfs4Click() {
  RunGuarded([this] { UpdateSeqNumOfsField(4); });
}

void TFormPrincipal::FBtnBrowseBurnerClick() {
  RunGuarded([this] {
    FileDialogOptions options;
    options.InitialFolder = ".";
    options.Filter = kBurnerFilter;
    options.DefaultSuffix = kBurnerSuffix;
    const std::optional<std::string> path = FChooser->ChooseFile(options);
    if (path) FEdBurnerCmdLine->setText(ToQt(*path));
  });
}

void TFormPrincipal::FBtnSerializeOneClick() {
  RunGuarded([this] { FSession->SerializeOne(); });
}

void TFormPrincipal::FBtnSerializeClick() {
  RunGuarded([this] {
    const std::int32_t count =
        ParseInteger(FOperator->PromptText(FromQt(windowTitle()), "Number to serialize", "0"));
    FSession->SerializeBatch(count);
  });
}

void TFormPrincipal::FBtnAboutClick() {
  RunGuarded([this] {
    FOperator->ShowMessageBox(AboutText(FIniLocation.Path, FSession->SerialServerDescription()),
                              BoxKind::Information, box_button::OK);
  });
}

void TFormPrincipal::FBtnExitClick() {
  close();
}

// ---------------------------------------------------------------------------
// Window events

void TFormPrincipal::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (FShown) return;
  // The first showing, before the window becomes visible.
  FShown = true;
  CentreOnScreen();
  FormShow();
}

void TFormPrincipal::closeEvent(QCloseEvent* event) {
  // Exit, the close box and the system's close command all end here; unsaved
  // profile changes are dropped without a question.
  FormDestroy();
  QDialog::closeEvent(event);
}

void TFormPrincipal::keyPressEvent(QKeyEvent* event) {
  // Escape does not close the main window (a dialog would take it as Cancel).
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFormPrincipal::CentreOnScreen() {
  const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (target == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(target->availableGeometry().center());
  move(frame.topLeft());
}

}  // namespace velmorin
