// The layouts of the program's dialogs and the menus of their pop-ups: what the
// resource file held. Only the item numbers are fixed; places and texts are ours.
#include <algorithm>
#include <vector>

#include "marktally/shell/dialogs/dialogs.h"

namespace {

// A rectangle from its left, top, width and height.
Rect At(int left, int top, int width, int height) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left),
              static_cast<int16_t>(top + height), static_cast<int16_t>(left + width)};
}

constexpr int kButtonWidth = 82;
constexpr int kButtonHeight = 20;
constexpr int kEditHeight = 22;
constexpr int kLineHeight = 18;

// OK and Cancel at the bottom right of a dialog of that size.
std::vector<DialogItemTemplate> OKCancel(int width, int height, const char* ok = "OK") {
  const int top = height - 20 - kButtonHeight;
  return {ButtonItem(1, At(width - 24 - kButtonWidth, top, kButtonWidth, kButtonHeight), ok),
          ButtonItem(2, At(width - 24 - 2 * kButtonWidth - 14, top, kButtonWidth, kButtonHeight),
                     "Cancel")};
}

DialogItemTemplate OKOnly(int width, int height, DialogItemIndex item = 1) {
  return ButtonItem(
      item,
      At(width - 24 - kButtonWidth, height - 20 - kButtonHeight, kButtonWidth, kButtonHeight),
      "OK");
}

DialogItemTemplate Label(DialogItemIndex item, int left, int top, int width, const char* text,
                         Style face = normal) {
  return StaticTextItem(item, At(left, top + 2, width, kLineHeight), text, face);
}

DialogItemTemplate Box(DialogItemIndex item, int left, int top, int width, const char* title) {
  return CheckBoxItem(item, At(left, top, width, kLineHeight), title);
}

void Register(int16_t id, const char* title, int width, int height,
              std::vector<DialogItemTemplate> items,
              WindowClass windowClass = kMovableModalWindowClass) {
  DialogTemplate t;
  t.bounds = At(100, 100, width, height);
  t.windowClass = windowClass;
  t.title = title;
  t.items = std::move(items);
  RegisterDialogTemplate(id, std::move(t));
}

void Append(std::vector<DialogItemTemplate>& to, std::vector<DialogItemTemplate> more) {
  for (DialogItemTemplate& t : more) to.push_back(std::move(t));
}

void MakeMenu(int16_t id, std::vector<const char*> items) {
  if (GetMenuHandle(id)) return;
  MenuRef menu = NewMenu(id, PStr(""));
  for (const char* item : items) AppendMenuItemText(menu, PStr(item));
  InsertMenu(menu, -1);
}

void PasswordDialogs() {
  std::vector<DialogItemTemplate> open = OKCancel(400, 170, "Open");
  Append(open, {PasswordItem(3, At(20, 60, 360, kEditHeight)),
                StaticTextItem(4, At(20, 16, 360, 36),
                               "This class is locked. Enter its password to open it:"),
                Box(5, 20, 94, 360, "Remember this password in my keyring")});
  Register(kPasswordDialogID, "Password", 400, 170, std::move(open));

  std::vector<DialogItemTemplate> change = OKCancel(440, 230);
  Append(change,
         {PasswordItem(3, At(190, 18, 230, kEditHeight)),
          PasswordItem(4, At(190, 50, 230, kEditHeight)),
          PasswordItem(5, At(190, 82, 230, kEditHeight)), Label(6, 20, 20, 166, "Old password:"),
          Label(7, 20, 52, 166, "New password:"), Label(8, 20, 84, 166, "New password again:"),
          StaticTextItem(9, At(20, 118, 400, 36),
                         "Leave the new password empty to remove the lock. Only the "
                         "first 15 characters of a password count.")});
  Register(kNewPasswordDialogID, "Change Password", 440, 230, std::move(change));
}

void AboutBox() {
  Register(kAboutDialogID, "About Marktally", 380, 210,
           {StaticTextItem(1, At(24, 18, 332, 26), "Marktally", bold, 20),
            StaticTextItem(2, At(24, 50, 332, 36),
                           "The gradebook for teachers: grades, attendance, seating charts "
                           "and reports."),
            UserItem(3, At(24, 94, 332, 48)), OKOnly(380, 210, 4)});
}

void ClassDialogs() {
  std::vector<DialogItemTemplate> seats = OKCancel(380, 236);
  Append(seats, {Label(3, 20, 16, 340, "Size of the seating chart (at most 20 by 20):", bold),
                 EditTextItem(4, At(120, 44, 60, kEditHeight)),
                 EditTextItem(5, At(120, 74, 60, kEditHeight)), Label(6, 40, 46, 76, "Rows:"),
                 Label(7, 40, 76, 76, "Columns:"),
                 Box(8, 20, 110, 340, "Place the students in the seats"),
                 RadioButtonItem(9, At(44, 134, 300, kLineHeight), "Alphabetically"),
                 RadioButtonItem(10, At(44, 156, 300, kLineHeight), "At random")});
  Register(kAssignSeatsDialogID, "Assign Seats", 380, 236, std::move(seats));

  std::vector<DialogItemTemplate> reports = OKCancel(580, 268);
  Append(reports,
         {Label(3, 20, 14, 260, "Class reports", bold),
          Label(4, 300, 14, 260, "Student reports", bold),
          Label(5, 20, 134, 260, "Assignment reports", bold),
          Label(6, 300, 134, 260, "Missing assignments report", bold),
          Box(7, 30, 36, 260, "All terms of the semester or year"),
          Box(8, 30, 56, 260, "Semester grades"), Box(9, 30, 76, 260, "Year grades"),
          Box(10, 30, 96, 260, "Grade breakdown of the class"),
          Box(11, 310, 36, 260, "Final exam and grade columns"),
          Box(12, 310, 56, 260, "Table of categories"),
          Box(13, 310, 76, 260, "Absences and tardies"), Box(14, 310, 96, 260, "Signature line"),
          Box(15, 30, 156, 260, "Grade breakdown of each assignment"),
          Box(16, 30, 176, 260, "Statistics"), Box(17, 310, 156, 260, "List every student"),
          Box(18, 310, 176, 260, "One page per student")});
  Register(kReportsDialogID, "Report Options", 580, 268, std::move(reports));

  std::vector<DialogItemTemplate> multiple = OKCancel(460, 232);
  Append(multiple,
         {EditTextItem(3, At(130, 16, 310, kEditHeight)), Box(4, 40, 78, 200, "All terms"),
          Box(5, 40, 98, 200, "Semester grades"), Box(6, 40, 118, 200, "Year grades"),
          Box(7, 40, 138, 200, "Attendance"), Box(8, 250, 78, 200, "Missing assignments"),
          Box(9, 250, 98, 200, "Assignments"), Box(10, 250, 118, 200, "Comments"),
          Box(11, 250, 138, 200, "Signature line"), Label(12, 20, 18, 106, "School name:"),
          Label(13, 20, 54, 420, "Show in the report:", bold)});
  Register(kMultipleDialogID, "Multiple-Class Report", 460, 232, std::move(multiple));

  std::vector<DialogItemTemplate> footnotes = OKCancel(380, 330);
  static const char* const kMarks[] = {"1.", "2.", "3.", "4.", "5.", "6.", "7.", "8."};
  for (int k = 0; k < 8; ++k)
    footnotes.push_back(
        EditTextItem(static_cast<DialogItemIndex>(3 + k), At(52, 40 + 28 * k, 308, kEditHeight)));
  for (int k = 0; k < 8; ++k)
    footnotes.push_back(
        Label(static_cast<DialogItemIndex>(11 + k), 24, 42 + 28 * k, 26, kMarks[k]));
  footnotes.push_back(Label(19, 20, 12, 340, "Footnotes (up to 21 characters each):", bold));
  Register(kFootnotesDialogID, "Footnotes", 380, 330, std::move(footnotes));

  std::vector<DialogItemTemplate> global = OKCancel(500, 330);
  Append(global, {EditTextItem(3, At(20, 38, 460, 80)), EditTextItem(4, At(20, 154, 460, 80)),
                  Label(5, 20, 14, 460, "Report header for this term:", bold),
                  Label(6, 20, 130, 460, "Report footer for this term:", bold),
                  Box(7, 20, 248, 460, "Copy the header and footer to the later terms")});
  Register(kGlobalCommentsDialogID, "Header and Footer", 500, 330, std::move(global));

  std::vector<DialogItemTemplate> comments;
  Append(comments, {OKOnly(500, 300), EditTextItem(2, At(20, 74, 460, 110)),
                    Box(3, 20, 196, 460, "Show student comments on reports"),
                    PopUpItem(4, At(20, 16, 460, kButtonHeight), "Student:", 70, kStudentListMenu),
                    Box(5, 20, 218, 460, "Copy this comment to the later terms"),
                    Label(6, 20, 50, 460, "Comment for this term (up to 254 characters):", bold)});
  Register(kCommentsDialogID, "Student Comments", 500, 300, std::move(comments));

  std::vector<DialogItemTemplate> curve = OKCancel(440, 290);
  Append(curve,
         {StaticTextItem(3, At(130, 16, 290, kLineHeight), "", bold),
          StaticTextItem(4, At(130, 36, 290, kLineHeight), ""),
          StaticTextItem(5, At(130, 56, 290, kLineHeight), ""),
          Label(6, 20, 98, 100, "High score:"), EditTextItem(7, At(130, 96, 90, kEditHeight)),
          Label(8, 230, 98, 80, "becomes"), EditTextItem(9, At(310, 96, 90, kEditHeight)),
          Label(10, 20, 128, 100, "Low score:"), EditTextItem(11, At(130, 126, 90, kEditHeight)),
          Label(12, 230, 128, 80, "becomes"), EditTextItem(13, At(310, 126, 90, kEditHeight)),
          Label(14, 20, 158, 100, "Average:"), EditTextItem(15, At(130, 156, 90, kEditHeight)),
          Label(16, 230, 158, 80, "becomes"), EditTextItem(17, At(310, 156, 90, kEditHeight)),
          Box(18, 20, 196, 400, "Round the curved scores to whole points"),
          Label(19, 20, 16, 106, "Assignment:"), Label(20, 20, 36, 106, "Category:"),
          Label(21, 20, 56, 106, "Possible:")});
  Register(kCurveDialogID, "Curve Assignment", 440, 290, std::move(curve));
}

void ExchangeDialogs() {
  std::vector<DialogItemTemplate> import = OKCancel(470, 270, "Import");
  Append(import,
         {Box(3, 40, 66, 180, "Student IDs"), Box(4, 40, 86, 180, "Student names"),
          Box(5, 40, 106, 180, "Comments"), Box(6, 260, 66, 190, "Due dates"),
          Box(7, 260, 86, 190, "Assignment names"), Box(8, 260, 106, 190, "Categories"),
          Box(9, 260, 126, 190, "Points possible"), Box(10, 260, 146, 190, "Scores"),
          Box(11, 40, 146, 180, "Attendance codes"),
          Label(12, 20, 12, 440, "Import these items from the text file:", bold),
          Label(13, 20, 42, 220, "Students"), Label(14, 240, 42, 210, "Assignments"),
          PopUpItem(15, At(20, 184, 330, kButtonHeight), "File format:", 96, kImportFormatMenu),
          Box(16, 40, 126, 180, "Email addresses")});
  Register(kImportDialogID, "Import", 470, 270, std::move(import));

  std::vector<DialogItemTemplate> text = OKCancel(620, 340, "Export");
  static const char* const kColumns[] = {"School",
                                         "Subject",
                                         "Term",
                                         "Teacher",
                                         "Student IDs",
                                         "Student names",
                                         "Comments",
                                         "Email addresses",
                                         "Due dates",
                                         "Assignment names",
                                         "Categories",
                                         "Points possible",
                                         "Scores",
                                         "Final exam percents",
                                         "Final exam grades",
                                         "Term percents",
                                         "Term grades",
                                         "Semester percents",
                                         "Semester grades",
                                         "Year percents",
                                         "Year grades",
                                         "Tardies",
                                         "Absences",
                                         "Attendance codes"};
  // Column and top of each box 3..26: class and students left, assignments and
  // attendance in the middle, grades right.
  static const int kPlace[24][2] = {{0, 36},  {0, 56},  {0, 76},  {0, 96},  {0, 146}, {0, 166},
                                    {0, 186}, {0, 206}, {1, 36},  {1, 56},  {1, 76},  {1, 96},
                                    {1, 116}, {2, 36},  {2, 56},  {2, 76},  {2, 96},  {2, 116},
                                    {2, 136}, {2, 156}, {2, 176}, {1, 168}, {1, 188}, {1, 208}};
  for (int k = 0; k < 24; ++k) {
    text.push_back(Box(static_cast<DialogItemIndex>(3 + k), 30 + 200 * kPlace[k][0], kPlace[k][1],
                       180, kColumns[k]));
  }
  Append(text,
         {PopUpItem(27, At(20, 250, 440, kButtonHeight), "Format:", 70, kExportFormatMenu),
          Label(28, 20, 12, 180, "Class", bold), Label(29, 20, 122, 180, "Students", bold),
          Label(30, 220, 12, 180, "Assignments", bold), Label(31, 420, 12, 180, "Grades", bold),
          Label(32, 220, 144, 180, "Attendance", bold)});
  Register(kExportTextDialogID, "Export Text", 620, 340, std::move(text));

  std::vector<DialogItemTemplate> html = OKCancel(480, 210, "Export");
  Append(html, {RadioButtonItem(3, At(20, 20, 440, kLineHeight), "A page of the class's grades"),
                StaticTextItem(4, At(44, 42, 416, 36),
                               "One web page with each student's ID, grade and percent."),
                RadioButtonItem(5, At(20, 90, 440, kLineHeight), "A class web site"),
                StaticTextItem(6, At(44, 112, 416, 36),
                               "An index page and one page for each student with the "
                               "assignments and scores.")});
  html[3].enabled = true;  // the descriptions choose their button too
  html[5].enabled = true;
  Register(kExportHTMLDialogID, "Export HTML", 480, 210, std::move(html));

  auto field = [](DialogItemIndex edit, DialogItemIndex label, int row, const char* text,
                  bool password = false) {
    const Rect r = At(150, 18 + 32 * row, 270, kEditHeight);
    return std::vector<DialogItemTemplate>{
        password ? PasswordItem(edit, r) : EditTextItem(edit, r),
        Label(label, 20, 20 + 32 * row, 126, text)};
  };
  auto ordered = [](std::vector<DialogItemTemplate> items) {
    std::sort(
        items.begin(), items.end(),
        [](const DialogItemTemplate& a, const DialogItemTemplate& b) { return a.item < b.item; });
    return items;
  };

  std::vector<DialogItemTemplate> lorvex = OKCancel(440, 150);
  Append(lorvex, field(3, 4, 0, "Class code:"));
  lorvex.push_back(
      StaticTextItem(5, At(20, 52, 400, 36), "The code of this class on the Lorvex service."));
  Register(kExportLorvexDialogID, "Upload Settings", 440, 150, ordered(std::move(lorvex)));

  auto fourFields = [&](int16_t id, const char* title) {
    std::vector<DialogItemTemplate> items = OKCancel(440, 200);
    Append(items, field(3, 7, 0, "Class code:"));
    Append(items, field(4, 8, 1, "Section:"));
    Append(items, field(5, 9, 2, "Account:"));
    Append(items, field(6, 10, 3, "Teacher ID:", true));
    Register(id, title, 440, 200, ordered(std::move(items)));
  };
  fourFields(kExportBasmatiDialogID, "Basmati Export");
  fourFields(kExportSchoolFusionDialogID, "SchoolFusion Export");

  std::vector<DialogItemTemplate> speak = OKCancel(440, 226, "Upload");
  Append(speak, field(3, 6, 0, "Class code:"));
  Append(speak, field(4, 7, 1, "Account:"));
  Append(speak, field(5, 8, 2, "Password:", true));
  speak.push_back(StaticTextItem(9, At(20, 114, 400, kLineHeight),
                                 "The password is not kept after the upload."));
  speak.push_back(Box(10, 20, 140, 400, "Replace the last report"));
  Register(kExportSchoolSpeakDialogID, "SchoolSpeak Upload", 440, 226, ordered(std::move(speak)));

  std::vector<DialogItemTemplate> save = OKCancel(440, 170, "Save");
  Append(save, field(3, 6, 0, "Class code:"));
  Append(save, field(4, 7, 1, "Account:"));
  Append(save, field(5, 8, 2, "Password:", true));
  Register(kSaveSchoolSpeakDialogID, "Save to SchoolSpeak", 440, 170, ordered(std::move(save)));

  std::vector<DialogItemTemplate> center = OKCancel(440, 120);
  Append(center, field(3, 4, 0, "Class code:"));
  Register(kExportSchoolCtrDialogID, "SchoolCenter Export", 440, 120, ordered(std::move(center)));

  for (int16_t id : {kExportProgressDialogID, kEmailProgressDialogID}) {
    Register(id, id == kExportProgressDialogID ? "Exporting" : "Sending Email", 420, 96,
             {ProgressBarItem(1, At(20, 54, 380, 14)),
              StaticTextItem(2, At(20, 18, 380, kLineHeight), "")});
  }
}

void EmailDialogs() {
  std::vector<DialogItemTemplate> server = OKCancel(480, 276);
  Append(server, {EditTextItem(3, At(170, 16, 290, kEditHeight)),
                  EditTextItem(4, At(170, 48, 290, kEditHeight)),
                  EditTextItem(5, At(170, 80, 70, kEditHeight)),
                  EditTextItem(6, At(170, 112, 290, kEditHeight)),
                  PasswordItem(7, At(170, 144, 290, kEditHeight)),
                  Box(8, 170, 176, 290, "Use a secure connection (SSL)"),
                  Label(9, 20, 18, 146, "Your email address:"),
                  Label(10, 20, 50, 146, "SMTP server:"), Label(11, 20, 82, 146, "Port:"),
                  Label(12, 20, 114, 146, "User name:"), Label(13, 20, 146, 146, "Password:"),
                  StaticTextItem(14, At(20, 202, 440, kLineHeight),
                                 "Leave the user name empty when the server needs no login.")});
  Register(kServerDialogID, "Email Server", 480, 276, std::move(server));

  std::vector<DialogItemTemplate> addresses;
  Append(addresses,
         {OKOnly(500, 250), EditTextItem(2, At(20, 76, 460, 40)),
          PopUpItem(3, At(20, 16, 460, kButtonHeight), "Student:", 70, kStudentListMenu),
          EditTextItem(4, At(20, 146, 460, 40)),
          Label(5, 20, 52, 460, "Recipients (the student, parents):", bold),
          Label(6, 20, 122, 460, "Blind copies:", bold),
          StaticTextItem(7, At(20, 192, 460, kLineHeight),
                         "Separate several addresses with blanks, commas or semicolons.")});
  Register(kEmailDialogID, "Email Addresses", 500, 250, std::move(addresses));

  std::vector<DialogItemTemplate> send = OKCancel(500, 250, "Send");
  Append(send,
         {StaticTextItem(3, At(20, 16, 460, 36), ""), Label(4, 20, 60, 460, "Send it to:", bold),
          Box(5, 40, 84, 420, "The student's recipients"),
          Box(6, 40, 106, 420, "The student's blind copies"), Box(7, 40, 128, 80, "Others:"),
          EditTextItem(8, At(124, 126, 356, 40))});
  Register(kSendEmailDialogID, "Email Reports", 500, 250, std::move(send));
}

}  // namespace

void RegisterDialogLayouts() {
  MakeMenu(kImportFormatMenu, {"Tab-delimited text", "Comma-separated text"});
  MakeMenu(kExportFormatMenu, {"Tab-delimited text", "Comma-separated, every item quoted",
                               "Comma-separated, quoted where needed"});
  PasswordDialogs();
  AboutBox();
  ClassDialogs();
  ExchangeDialogs();
  EmailDialogs();
}
