// File dialogs: Qt's widget-based file dialog with the program's filter in a proxy
// model, and scripted answers for tests.
#include "marktally/toolbox/navigation.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <deque>

#include "marktally/toolbox/internal.h"

namespace {

std::deque<NavAnswer>& Answers() {
  static std::deque<NavAnswer> answers;
  return answers;
}

bool& HasRequest() {
  static bool has = false;
  return has;
}

NavRequest& Request() {
  static NavRequest request{NavRequest::kOpen, {}, {}};
  return request;
}

class FilterModel : public QSortFilterProxyModel {
 public:
  explicit FilterModel(NavObjectFilter filter) : filter_(std::move(filter)) {}

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    if (!filter_) return true;
    auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!model) return true;
    const QModelIndex index = model->index(row, 0, parent);
    const QFileInfo info = model->fileInfo(index);
    if (info.isDir()) return true;
    return filter_(info.absoluteFilePath().toStdString(), false);
  }

 private:
  NavObjectFilter filter_;
};

QString FromMac(const std::string& s) {
  return MacToQString(reinterpret_cast<const unsigned char*>(s.data()),
                      static_cast<int>(s.size()));
}

// Takes a scripted answer, or runs the dialog (cancelled when headless).
bool Answer(NavRequest::Kind kind, const NavDialogOptions& options, const NavObjectFilter& filter,
            NavEventProcPtr eventProc, NavAnswer* answer) {
  HasRequest() = true;
  Request() = NavRequest{kind, options, filter};
  if (!Answers().empty()) {
    *answer = Answers().front();
    Answers().pop_front();
    return !answer->cancelled && !answer->paths.empty();
  }
  Toolbox& tb = TB();
  if (!tb.interactive || !tb.app) return false;
  QFileDialog dialog(FrameWindow());
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!options.windowTitle.empty()) dialog.setWindowTitle(FromMac(options.windowTitle));
  if (!options.message.empty()) {
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
      grid->addWidget(new QLabel(FromMac(options.message)), grid->rowCount(), 0, 1, -1);
  }
  switch (kind) {
    case NavRequest::kOpen:
      dialog.setFileMode(QFileDialog::ExistingFile);
      break;
    case NavRequest::kOpenMultiple:
      dialog.setFileMode(QFileDialog::ExistingFiles);
      break;
    case NavRequest::kSave:
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.selectFile(FromMac(options.saveFileName));
      break;
    case NavRequest::kChooseFolder:
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly, true);
      break;
  }
  if (!options.filterName.empty() && kind != NavRequest::kChooseFolder)
    dialog.setNameFilter(FromMac(options.filterName));
  if (!options.defaultSuffix.empty()) dialog.setDefaultSuffix(FromMac(options.defaultSuffix));
  if (filter && (kind == NavRequest::kOpen || kind == NavRequest::kOpenMultiple))
    dialog.setProxyModel(new FilterModel(filter));
  // The document window keeps its picture while the dialog is up.
  QTimer redraw;
  QObject::connect(&redraw, &QTimer::timeout, [eventProc] {
    WindowRecord* w = TB().window;
    if (eventProc && w && w->visible && !w->update.isEmpty())
      eventProc(MakeEvent(updateEvt, reinterpret_cast<uintptr_t>(w)));
  });
  redraw.start(50);
  const int result = dialog.exec();
  RestoreFrameFocus();
  if (result != QDialog::Accepted) return false;
  for (const QString& f : dialog.selectedFiles()) answer->paths.push_back(f.toStdString());
  if (kind == NavRequest::kSave && !answer->paths.empty())
    answer->replacing = QFileInfo::exists(QString::fromStdString(answer->paths.front()));
  return !answer->paths.empty();
}

}  // namespace

OSStatus NavGetFile(const NavDialogOptions& options, const NavObjectFilter& filter,
                    NavEventProcPtr eventProc, std::string* path) {
  NavAnswer answer;
  if (!Answer(NavRequest::kOpen, options, filter, eventProc, &answer)) return userCanceledErr;
  *path = answer.paths.front();
  return noErr;
}

OSStatus NavGetMultipleFiles(const NavDialogOptions& options, const NavObjectFilter& filter,
                             NavEventProcPtr eventProc, std::vector<std::string>* paths) {
  NavAnswer answer;
  if (!Answer(NavRequest::kOpenMultiple, options, filter, eventProc, &answer))
    return userCanceledErr;
  *paths = answer.paths;
  return noErr;
}

OSStatus NavPutFile(const NavDialogOptions& options, NavEventProcPtr eventProc, std::string* path,
                    bool* replacing) {
  NavAnswer answer;
  if (!Answer(NavRequest::kSave, options, {}, eventProc, &answer)) return userCanceledErr;
  *path = answer.paths.front();
  *replacing = answer.replacing;
  return noErr;
}

OSStatus NavChooseFolder(const NavDialogOptions& options, NavEventProcPtr eventProc,
                         std::string* path) {
  NavAnswer answer;
  if (!Answer(NavRequest::kChooseFolder, options, {}, eventProc, &answer)) return userCanceledErr;
  *path = answer.paths.front();
  return noErr;
}

void ScriptNavAnswer(NavAnswer answer) { Answers().push_back(std::move(answer)); }

bool LastNavRequest(NavRequest* request) {
  if (!HasRequest()) return false;
  *request = Request();
  return true;
}

void ResetNavigation() {
  Answers().clear();
  HasRequest() = false;
}
