// The seam for the file-open and folder-selection dialogs: the window asks
// through this interface, the program answers with the real Qt dialogs, and
// tests answer from a queue.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace velmorin {

// What the window sets up before it shows the file-open dialog.
struct FileDialogOptions {
  // Empty: the toolkit's default title.
  std::string Title;
  std::string InitialFolder = ".";
  // Pairs of description and pattern, separated by "|":
  // "HEX files (*.hex)|*.hex|All files (*.*)|*.*". The first pair is in force.
  std::string Filter;
  // Appended (without the dot) to a typed name that has none; empty for none.
  std::string DefaultSuffix;

  bool operator==(const FileDialogOptions&) const = default;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen file's full path, or nothing when the operator cancelled.
  virtual std::optional<std::string> ChooseFile(const FileDialogOptions& options) = 0;
  // The chosen folder's full path, or nothing when the operator cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
};

// The real dialogs, modal to `parent`.
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent = nullptr) : FParent(parent) {}
  void SetParent(QWidget* parent) { FParent = parent; }

  std::optional<std::string> ChooseFile(const FileDialogOptions& options) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;

  // "Desc (*.a)|*.a|All (*.*)|*.*" in Qt's form "Desc (*.a);;All (*)". Several
  // patterns in one pair are separated by ";". On POSIX "*.*" becomes "*", since
  // files there need not have an extension.
  static QStringList QtNameFilters(const std::string& filter);

 private:
  QWidget* FParent;
};

// Answers from a queue, for tests; records every request.
class QueuedFileChooser : public FileChooser {
 public:
  void QueueAnswer(std::optional<std::string> answer) { FAnswers.push_back(std::move(answer)); }

  std::optional<std::string> ChooseFile(const FileDialogOptions& options) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;

  const std::vector<FileDialogOptions>& FileRequests() const { return FFileRequests; }
  const std::vector<std::string>& FolderRequests() const { return FFolderRequests; }
  std::size_t PendingAnswers() const { return FAnswers.size(); }

 private:
  // Next answer; an empty queue answers as a cancelled dialog.
  std::optional<std::string> NextAnswer();

  std::deque<std::optional<std::string>> FAnswers;
  std::vector<FileDialogOptions> FFileRequests;
  std::vector<std::string> FFolderRequests;
};

}  // namespace velmorin
