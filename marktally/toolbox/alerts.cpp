// Standard alerts laid out from their texts and run through the dialog layer.
#include "marktally/toolbox/alerts.h"

#include <algorithm>
#include <cstring>

#include "marktally/toolbox/internal.h"

namespace {

const unsigned char kOKText[] = "\x02OK";
const unsigned char kCancelText[] =
    "\x06"
    "Cancel";
const unsigned char kOtherText[] =
    "\x0A"
    "Don't Save";

AlertResponder& Responder() {
  static AlertResponder responder;
  return responder;
}

constexpr int kAlertWidth = 440;
constexpr int kTextLeft = 72;
constexpr int kMargin = 20;
constexpr int kButtonHeight = 20;
constexpr int kIconSize = 32;
constexpr int16_t kMessageItem = 5;

std::string Text(ConstStringPtr s) {
  if (s == kAlertDefaultOKText) return "OK";
  if (s == kAlertDefaultCancelText) return "Cancel";
  if (s == kAlertDefaultOtherText) return "Don't Save";
  return s ? ToStdString(s) : std::string();
}

void Fill(const QRegion& region, const RGBColor& color) {
  Region r{region};
  RGBForeColor(&color);
  PaintRgn(&r);
  ForeColor(blackColor);
}

// The icon of the alert's kind, drawn in its 32-pixel square.
void DrawIcon(DialogRef dialog, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(dialog, item, &c);
  Rect box;
  GetControlBounds(c, &box);
  const int x = box.left, y = box.top;
  const auto type = static_cast<AlertType>(GetControlReference(c));
  QRegion shape, mark;
  RGBColor color{0, 0, 0}, ink{0xFFFF, 0xFFFF, 0xFFFF};
  if (type == kAlertStopAlert) {
    for (int row = 0; row < kIconSize; ++row) {
      const int in = std::max({0, 9 - row, 9 - (kIconSize - 1 - row)});
      shape += QRect(x + in, y + row, kIconSize - 2 * in, 1);
    }
    color = RGBColor{0xC800, 0x1800, 0x2000};
    mark = QRegion(x + 7, y + 13, 18, 6);
  } else if (type == kAlertCautionAlert) {
    for (int row = 0; row < 30; ++row) {
      const int half = 1 + row * 15 / 29;
      shape += QRect(x + 16 - half, y + 1 + row, 2 * half, 1);
    }
    Fill(shape, RGBColor{0, 0, 0});
    shape = QRegion();
    for (int row = 2; row < 29; ++row) {
      const int half = row * 15 / 29 - 1;
      if (half > 0) shape += QRect(x + 16 - half, y + 1 + row, 2 * half, 1);
    }
    color = RGBColor{0xF800, 0xC800, 0x1000};
    ink = RGBColor{0, 0, 0};
    mark = QRegion(x + 15, y + 10, 3, 11) + QRegion(x + 15, y + 23, 3, 3);
  } else if (type == kAlertNoteAlert) {
    for (int row = 0; row < kIconSize; ++row) {
      const double dy = 15.5 - row;
      const int half = static_cast<int>(std::lround(std::sqrt(256.0 - dy * dy)));
      shape += QRect(x + 16 - half, y + row, 2 * half, 1);
    }
    color = RGBColor{0x2E00, 0x6000, 0xC800};
    mark = QRegion(x + 14, y + 6, 4, 4) + QRegion(x + 14, y + 12, 4, 14);
  } else {
    return;
  }
  Fill(shape, color);
  Fill(mark, ink);
}

UserItemUPP IconProc() {
  static UserItemUPP proc = NewUserItemUPP(DrawIcon);
  return proc;
}

// The height that text takes wrapped to width in the given face.
int TextHeight(const std::string& text, int width, Style face) {
  GrafPort* port = CurrentPort();
  if (!port) return 16;
  PortState state(port);
  TextFont(systemFont);
  TextSize(12);
  TextFace(face);
  FontInfo info;
  GetFontInfo(&info);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::vector<int> lines = WrapLines(bytes, static_cast<int>(text.size()), width);
  return static_cast<int>(lines.size() - 1) * (info.ascent + info.descent + info.leading);
}

// A scratch port for measuring before the alert's window exists.
class MeasurePort {
 public:
  MeasurePort() {
    const Rect r{0, 0, 8, 8};
    NewGWorld(&world_, 32, &r, nullptr, nullptr, 0);
    GetPort(&saved_);
    SetPort(world_);
  }
  ~MeasurePort() {
    SetPort(saved_);
    DisposeGWorld(world_);
  }
  MeasurePort(const MeasurePort&) = delete;
  MeasurePort& operator=(const MeasurePort&) = delete;

 private:
  GWorldPtr world_ = nullptr;
  GrafPtr saved_ = nullptr;
};

int ButtonWidth(const std::string& title) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
  PortState state(CurrentPort());
  TextFont(systemFont);
  TextSize(12);
  return std::max(72, TextWidth(bytes, static_cast<int>(title.size())) + 28);
}

}  // namespace

const ConstStringPtr kAlertDefaultOKText = kOKText;
const ConstStringPtr kAlertDefaultCancelText = kCancelText;
const ConstStringPtr kAlertDefaultOtherText = kOtherText;

void SetAlertResponder(AlertResponder responder) { Responder() = std::move(responder); }

OSStatus GetStandardAlertDefaultParams(AlertStdAlertParamRec* param, uint32_t) {
  *param = AlertStdAlertParamRec{false,
                                 false,
                                 nullptr,
                                 kAlertDefaultOKText,
                                 nullptr,
                                 nullptr,
                                 kAlertStdAlertOKButton,
                                 0,
                                 kWindowDefaultPosition};
  return noErr;
}

OSErr StandardAlert(AlertType type, ConstStringPtr error, ConstStringPtr explanation,
                    const AlertStdAlertParamRec* param, DialogItemIndex* outItemHit) {
  AlertStdAlertParamRec p;
  if (param)
    p = *param;
  else
    GetStandardAlertDefaultParams(&p, 0);
  std::vector<std::string> buttons{Text(p.defaultText), Text(p.cancelText), Text(p.otherText)};
  if (buttons[0].empty() && buttons[1].empty() && buttons[2].empty()) buttons[0] = "OK";
  AlertShown shown{type, Text(error), Text(explanation), buttons, p.defaultButton, p.cancelButton};
  if (Responder()) {
    const DialogItemIndex answer = Responder()(shown);
    if (answer > 0) {
      *outItemHit = answer;
      return noErr;
    }
  }

  DialogTemplate t;
  t.windowClass = p.movable ? kMovableAlertWindowClass : kAlertWindowClass;
  const int textWidth = kAlertWidth - kTextLeft - kMargin;
  int messageHeight, explanationHeight;
  int widths[3];
  {
    MeasurePort measure;
    messageHeight = TextHeight(shown.message, textWidth, bold);
    explanationHeight =
        shown.explanation.empty() ? 0 : TextHeight(shown.explanation, textWidth, normal);
    for (int k = 0; k < 3; ++k) widths[k] = buttons[k].empty() ? 0 : ButtonWidth(buttons[k]);
  }
  const int textBottom =
      kMargin - 2 + messageHeight + (explanationHeight ? 8 + explanationHeight : 0);
  const int buttonTop = std::max(textBottom, kMargin + kIconSize) + 20;
  const int height = buttonTop + kButtonHeight + kMargin;
  // Default rightmost, cancel to its left, the other button at the left of the text.
  int right = kAlertWidth - kMargin - 4;
  Rect buttonRects[3];
  const int order[2] = {0, 1};
  for (int k : order) {
    const int w = std::max(widths[k], 72);
    buttonRects[k] =
        Rect{static_cast<int16_t>(buttonTop), static_cast<int16_t>(right - w),
             static_cast<int16_t>(buttonTop + kButtonHeight), static_cast<int16_t>(right)};
    if (widths[k]) right -= w + 14;
  }
  buttonRects[2] = Rect{static_cast<int16_t>(buttonTop), static_cast<int16_t>(kTextLeft),
                        static_cast<int16_t>(buttonTop + kButtonHeight),
                        static_cast<int16_t>(kTextLeft + std::max(widths[2], 72))};
  Rect screen;
  GetMainScreenBounds(&screen);
  int16_t bar = 0;
  GetThemeMenuBarHeight(&bar);
  const int left = screen.left + (screen.right - screen.left - kAlertWidth) / 2;
  const int top = screen.top + bar + (screen.bottom - screen.top - bar - height) / 3;
  t.bounds = Rect{static_cast<int16_t>(top), static_cast<int16_t>(left),
                  static_cast<int16_t>(top + height), static_cast<int16_t>(left + kAlertWidth)};
  for (int k = 0; k < 3; ++k)
    t.items.push_back(
        ButtonItem(static_cast<DialogItemIndex>(k + 1), buttonRects[k], buttons[k].c_str()));
  t.items.push_back(UserItem(4, Rect{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize}));
  t.items.push_back(StaticTextItem(
      kMessageItem,
      Rect{kMargin - 2, kTextLeft, static_cast<int16_t>(kMargin - 2 + messageHeight),
           kAlertWidth - kMargin},
      shown.message.c_str(), bold));
  const int explanationTop = kMargin - 2 + messageHeight + 8;
  t.items.push_back(StaticTextItem(
      6,
      Rect{static_cast<int16_t>(explanationTop), kTextLeft,
           static_cast<int16_t>(explanationTop + explanationHeight), kAlertWidth - kMargin},
      shown.explanation.c_str()));

  GrafPtr saved;
  GetPort(&saved);
  DialogRef d = NewDialogFromTemplate(t);
  if (!d) return memFullErr;
  for (int k = 0; k < 3; ++k) {
    if (buttons[k].empty()) HideDialogItem(d, static_cast<DialogItemIndex>(k + 1));
  }
  ControlRef icon = nullptr;
  GetDialogItemAsControl(d, 4, &icon);
  SetControlReference(icon, type);
  Rect iconBox;
  GetControlBounds(icon, &iconBox);
  SetDialogItem(d, 4, kUserDialogItem, IconProc(), &iconBox);
  auto exists = [&](DialogItemIndex item) {
    return item >= 1 && item <= 3 && !buttons[static_cast<size_t>(item - 1)].empty();
  };
  SetDialogDefaultItem(d, exists(p.defaultButton) ? p.defaultButton : 0);
  SetDialogCancelItem(d, exists(p.cancelButton) ? p.cancelButton : 0);
  ShowWindow(GetDialogWindow(d));
  SelectWindow(GetDialogWindow(d));
  DialogItemIndex item = 0;
  do {
    ModalDialog(p.filterProc, &item);
    // Only a stuck headless loop answers 0: take the default, else the first button.
    for (DialogItemIndex k = 1; item == 0 && k <= 3; ++k) {
      if (exists(k)) item = exists(p.defaultButton) ? p.defaultButton : k;
    }
  } while (!exists(item));
  DisposeDialog(d);
  SetPort(saved);
  *outItemHit = item;
  return noErr;
}
