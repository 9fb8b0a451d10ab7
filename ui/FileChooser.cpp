#include "ui/FileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace velmorin {

QStringList QtFileChooser::QtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromLocal8Bit(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    // The file dialog is where the window differs by system: "*.*" matches
    // every file on Windows, but on POSIX only names with a dot, and most
    // programs there have none.
#ifndef _WIN32
    for (QString& pattern : patterns) {
      if (pattern.trimmed() == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
#endif
    // Qt reads the patterns from the parentheses of the description, so the
    // description's own "(*.*)" is replaced by the patterns in force.
    QString description = parts[i];
    const qsizetype open = description.lastIndexOf(u'(');
    if (open > 0 && description.endsWith(u')')) description.truncate(open);
    filters << description.trimmed() + QStringLiteral(" (") + patterns.join(u' ') +
                   QStringLiteral(")");
  }
  return filters;
}

std::optional<std::string> QtFileChooser::ChooseFile(const FileDialogOptions& options) {
  QFileDialog dialog(FParent, QString::fromLocal8Bit(options.Title),
                     QString::fromLocal8Bit(options.InitialFolder));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const QStringList filters = QtNameFilters(options.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
  }
  if (!options.DefaultSuffix.empty()) {
    dialog.setDefaultSuffix(QString::fromLocal8Bit(options.DefaultSuffix));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path =
      QDir::toNativeSeparators(QFileInfo(dialog.selectedFiles().front()).absoluteFilePath());
  return path.toLocal8Bit().toStdString();
}

std::optional<std::string> QtFileChooser::ChooseFolder(const std::string& title) {
  // The dialog opens in the current folder, with nothing preselected.
  const QString folder = QFileDialog::getExistingDirectory(
      FParent, QString::fromLocal8Bit(title), QStringLiteral("."), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath()).toLocal8Bit().toStdString();
}

std::optional<std::string> QueuedFileChooser::NextAnswer() {
  if (FAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(FAnswers.front());
  FAnswers.pop_front();
  return answer;
}

std::optional<std::string> QueuedFileChooser::ChooseFile(const FileDialogOptions& options) {
  FFileRequests.push_back(options);
  return NextAnswer();
}

std::optional<std::string> QueuedFileChooser::ChooseFolder(const std::string& title) {
  FFolderRequests.push_back(title);
  return NextAnswer();
}

}  // namespace velmorin
