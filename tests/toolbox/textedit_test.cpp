// TextEdit: keys, selection by clicks, the private scrap and the clipboard, the caret,
// one-line scrolling, wrapping and password masks.
#include <string>

#include "marktally/common/platform.h"
#include "toolbox_fixture.h"

namespace {

class TextEditTest : public ToolboxTest {
 protected:
  void SetUp() override {
    ToolboxTest::SetUp();
    world = NewWorld(300, 120);
    TextFont(systemFont);
    TextSize(12);
  }
  void TearDown() override {
    if (te) TEDispose(te);
    ToolboxTest::TearDown();
  }
  TEHandle Make(const Rect& box, const std::string& text, bool oneLine = true) {
    te = TENew(&box, &box);
    if (oneLine) te->crOnly = -1;
    TECalText(te);
    TESetText(text.data(), static_cast<int32_t>(text.size()), te);
    TEActivate(te);
    return te;
  }
  GWorldPtr world = nullptr;
  TEHandle te = nullptr;
};

struct KeyCase {
  const char* name;
  const char* text;
  int16_t selStart, selEnd;
  std::string keys;
  const char* expected;
  int16_t caret;
};

TEST_F(TextEditTest, KeysEditTheTextAroundTheSelection) {
  const std::string left(1, kLeftArrowCharCode), right(1, kRightArrowCharCode);
  const std::string back(1, kBackspaceCharCode), del(1, kDeleteCharCode);
  const std::string home(1, kHomeCharCode), end(1, kEndCharCode);
  const KeyCase cases[] = {
      {"typing replaces the selection", "Homework", 0, 4, "Class", "Classwork", 5},
      {"typing inserts at the caret", "85", 2, 2, ".5", "85.5", 4},
      {"backspace takes the byte before the caret", "Quiz 1", 6, 6, back, "Quiz ", 5},
      {"backspace takes the selection only", "Quiz 12", 5, 7, back, "Quiz ", 5},
      {"backspace at the start does nothing", "Quiz", 0, 0, back, "Quiz", 0},
      {"delete takes the byte after the caret", "Quiz", 0, 0, del, "uiz", 0},
      {"delete at the end does nothing", "Quiz", 4, 4, del, "Quiz", 4},
      {"left collapses a selection to its start", "Exam", 1, 3, left + "X", "EXxam", 2},
      {"right collapses a selection to its end", "Exam", 1, 3, right + "X", "ExaXm", 4},
      {"arrows stop at the ends", "ab", 0, 0, left + left + "1" + end + right + "2", "1ab2", 4},
      {"home and end", "mid", 1, 1, home + "<" + end + ">", "<mid>", 5},
      {"return is not text in one line", "A", 1, 1, std::string(1, kReturnCharCode), "A", 1},
      {"control characters are ignored", "A", 1, 1, std::string(1, '\x02'), "A", 1},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    Make(Rect{10, 10, 30, 200}, c.text);
    TESetSelect(c.selStart, c.selEnd, te);
    for (char k : c.keys) TEKey(static_cast<unsigned char>(k), te);
    EXPECT_EQ(TEGetText(te), c.expected);
    EXPECT_EQ(te->selStart, c.caret);
    EXPECT_EQ(te->selEnd, c.caret);
    TEDispose(te);
    te = nullptr;
  }
}

TEST_F(TextEditTest, ClickPlacesTheCaretAndShiftClickStretchesTheSelection) {
  Make(Rect{10, 10, 30, 290}, "Final exam");
  const Point afterFinal = TEGetPoint(5, te);
  ScriptMouseClick(Point{0, 0}, 0);  // a one-point mouse: the button is up at once
  EventRecord e;
  GetNextEvent(mDownMask, &e);
  TEClick(Point{20, afterFinal.h}, false, te);
  EXPECT_EQ(te->selStart, 5);
  EXPECT_EQ(te->selEnd, 5);
  const Point end = TEGetPoint(10, te);
  TEClick(Point{20, static_cast<int16_t>(end.h + 30)}, true, te);
  EXPECT_EQ(te->selStart, 5);
  EXPECT_EQ(te->selEnd, 10);
  // A shift-click before the selection keeps its far end.
  TEClick(Point{20, 11}, true, te);
  EXPECT_EQ(te->selStart, 0);
  EXPECT_EQ(te->selEnd, 10);
  // A drag selects from where the button went down to where it is.
  const Point from = TEGetPoint(1, te), to = TEGetPoint(4, te);
  ScriptMousePath({Point{0, from.h}, Point{0, to.h}}, 0);
  GetNextEvent(mDownMask, &e);
  TEClick(Point{20, from.h}, false, te);
  EXPECT_EQ(te->selStart, 1);
  EXPECT_EQ(te->selEnd, 4);
}

TEST_F(TextEditTest, ASecondClickInPlaceSelectsTheWord) {
  Make(Rect{10, 10, 30, 290}, "Unit test review");
  const Point inTest = TEGetPoint(7, te);
  TEClick(Point{20, inTest.h}, false, te);
  TEClick(Point{20, inTest.h}, false, te);
  EXPECT_EQ(te->selStart, 5);
  EXPECT_EQ(te->selEnd, 9);
  // Too late for a double click: a caret again.
  SetTickCountForTesting(TickCount() + GetDblTime() + 1);
  TEClick(Point{20, inTest.h}, false, te);
  SetTickCountForTesting(TickCount() + GetDblTime() + 1);
  TEClick(Point{20, inTest.h}, false, te);
  EXPECT_EQ(te->selStart, te->selEnd);
}

TEST_F(TextEditTest, CutCopyAndPasteGoThroughTheScrapAndTheClipboard) {
  Make(Rect{10, 10, 30, 290}, "Lab report");
  TESetSelect(0, 4, te);
  TECut(te);
  EXPECT_EQ(TEGetText(te), "report");
  EXPECT_EQ(TEGetScrapText(), "Lab ");
  EXPECT_EQ(TEGetScrapLength(), 4);
  std::string clip;
  EXPECT_FALSE(GetScrapText(&clip));  // the desktop hears of it only through TEToScrap
  EXPECT_EQ(noErr, TEToScrap());
  ASSERT_TRUE(GetScrapText(&clip));
  EXPECT_EQ(clip, "Lab ");

  TESetSelect(6, 6, te);
  TEPaste(te);
  EXPECT_EQ(TEGetText(te), "reportLab ");
  TESetSelect(0, 6, te);
  TECopy(te);
  EXPECT_EQ(TEGetText(te), "reportLab ");
  EXPECT_EQ(TEGetScrapText(), "report");

  PutScrapText("Caf\x8E");  // Mac Roman e-acute through the clipboard and back
  EXPECT_EQ(noErr, TEFromScrap());
  EXPECT_EQ(TEGetScrapText(), "Caf\x8E");
  TESetSelect(0, 10, te);
  TEPaste(te);
  EXPECT_EQ(TEGetText(te), "Caf\x8E");
  TESetSelect(0, 1, te);
  TEDelete(te);
  EXPECT_EQ(TEGetText(te), "af\x8E");

  ClearCurrentScrap();
  EXPECT_EQ(noTypeErr, TEFromScrap());
  EXPECT_EQ(TEGetScrapLength(), 0);
}

TEST_F(TextEditTest, TheCaretBlinksOnIdleOnlyWhenItsTimeHasCome) {
  Make(Rect{10, 10, 30, 290}, "");
  const Point caret = TEGetPoint(0, te);
  auto caretBlack = [&] { return GetPortPixel(world, caret.h, caret.v - 2) == kBlackPixel; };
  EXPECT_TRUE(caretBlack());
  TEIdle(te);
  EXPECT_TRUE(caretBlack());  // not yet
  SetTickCountForTesting(TickCount() + GetCaretTime());
  TEIdle(te);
  EXPECT_FALSE(caretBlack());
  SetTickCountForTesting(TickCount() + GetCaretTime());
  TEIdle(te);
  EXPECT_TRUE(caretBlack());
  TEDeactivate(te);
  EXPECT_FALSE(caretBlack());
  SetTickCountForTesting(TickCount() + GetCaretTime());
  TEIdle(te);
  EXPECT_FALSE(caretBlack());
}

TEST_F(TextEditTest, OneLineScrollsToKeepTheCaretInView) {
  Make(Rect{10, 10, 30, 70}, "");
  for (char c : std::string("A long assignment name")) TEKey(static_cast<unsigned char>(c), te);
  EXPECT_GT(te->scrollH, 0);
  const Point caret = TEGetPoint(te->selEnd, te);
  EXPECT_LT(caret.h, 70);
  EXPECT_GE(caret.h, 10);
  TEKey(kHomeCharCode, te);
  EXPECT_EQ(te->scrollH, 0);
  // Nothing is drawn outside the view.
  EXPECT_EQ(CountBlack(world, Rect{0, 71, 120, 300}), 0);
}

TEST_F(TextEditTest, LinesWrapAtBlanksAndBreakLongWords) {
  const auto wrap = [](const std::string& s, int width) {
    return WrapLines(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()),
                     width);
  };
  const int w = TextWidth(reinterpret_cast<const unsigned char*>("Late work"), 9);
  EXPECT_EQ(wrap("Late work Late work", w), (std::vector<int>{0, 10, 19}));
  EXPECT_EQ(wrap("Late work  lost", w), (std::vector<int>{0, 11, 15}));  // blanks hang
  EXPECT_EQ(wrap("Late\rwork", 500), (std::vector<int>{0, 5, 9}));
  EXPECT_EQ(wrap("End\r", 500), (std::vector<int>{0, 4, 4}));
  EXPECT_EQ(wrap("", 500), (std::vector<int>{0, 0}));
  const std::vector<int> broken = wrap("Supercalifragilistic", w / 3);
  EXPECT_GT(broken.size(), 3u);
  EXPECT_EQ(broken.back(), 20);

  Make(Rect{10, 10, 80, static_cast<int16_t>(10 + w + 4)}, "Late work Late work", false);
  EXPECT_EQ(te->lineStarts, (std::vector<int>{0, 10, 19}));
  TESetSelect(19, 19, te);
  TEKey(kUpArrowCharCode, te);  // to the same place on the line above
  EXPECT_EQ(te->selEnd, 9);
  TEKey(kDownArrowCharCode, te);
  EXPECT_EQ(te->selEnd, 19);
}

TEST_F(TextEditTest, TextBoxDrawsWrappedInsideItsBoxOnly) {
  const Rect box{20, 20, 60, 120};
  const std::string comment = "Works hard in class and always hands in homework on time.";
  TETextBox(comment.data(), static_cast<int32_t>(comment.size()), &box, teFlushLeft);
  EXPECT_GT(CountBlack(world, Rect{20, 20, 40, 120}), 0);
  EXPECT_EQ(CountBlack(world, Rect{0, 0, 20, 300}), 0);
  EXPECT_EQ(CountBlack(world, Rect{60, 0, 120, 300}), 0);
  EXPECT_EQ(CountBlack(world, Rect{0, 120, 120, 300}), 0);
}

TEST_F(TextEditTest, APasswordShowsBulletsAndKeepsTheClearText) {
  Make(Rect{10, 10, 30, 200}, "");
  te->mask = 0xA5;
  TECalText(te);
  StartTextDrawLog(world);
  for (char c : std::string("Owl7")) TEKey(static_cast<unsigned char>(c), te);
  EXPECT_EQ(TEGetText(te), "Owl7");
  std::string drawn;
  for (const TextDrawRecord& r : TakeTextDrawLog(world)) drawn += r.text;
  EXPECT_EQ(drawn.find_first_not_of('\xA5'), std::string::npos);
  EXPECT_FALSE(drawn.empty());
}

}  // namespace
