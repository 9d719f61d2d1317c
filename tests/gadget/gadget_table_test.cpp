// The gadget table and the common operations, on real controls of a real window.
#include <climits>
#include <string>

#include "gadget_fixture.h"

namespace {

bool EmptyRecordIsZero() {
  const GadgetRecord& empty = GadgetTable.emptyRecord;
  return !empty.control && !empty.kind && !empty.picture && !empty.previousProcedure;
}

size_t SlotBytes() { return HeapSize(RuntimeState.heap, 0, GadgetTable.slots); }

using GadgetTableTest = GadgetTest;

TEST_F(GadgetTableTest, StartUpGivesThirtyTwoZeroSlotsAndTheGuiFont) {
  EXPECT_EQ(30, GadgetTable.highest);
  EXPECT_EQ(32 * sizeof(GadgetRecord), SlotBytes());
  for (int n = 0; n < 32; ++n) EXPECT_EQ(nullptr, GadgetTable.slots[n].control) << n;
  EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT), GadgetTable.font);
  EXPECT_EQ(4 * sizeof(void*), sizeof(GadgetRecord));  // four pointer-sized fields, no padding
}

TEST_F(GadgetTableTest, NumbersUpTo29FitAndNumber30GrowsTo62SlotsKeepingGadgets) {
  HWND made[31];
  for (int n = 0; n < 30; ++n) {
    made[n] = reinterpret_cast<HWND>(CreateTextLabel(n, 5 + n * 20, 5, 18, 18, "x"));
    ASSERT_TRUE(IsWindow(made[n])) << n;
  }
  EXPECT_EQ(30, GadgetTable.highest);
  EXPECT_EQ(32 * sizeof(GadgetRecord), SlotBytes());

  made[30] = reinterpret_cast<HWND>(CreatePushButton(30, 5, 40, 60, 24, "thirty"));
  ASSERT_TRUE(IsWindow(made[30]));
  EXPECT_EQ(60, GadgetTable.highest);
  EXPECT_EQ(62 * sizeof(GadgetRecord), SlotBytes());
  for (int n = 0; n <= 30; ++n) {
    EXPECT_EQ(made[n], GadgetHandleOf(n)) << n;
    EXPECT_EQ(n, GetWindowLongPtrA(made[n], GWLP_ID)) << n;
  }
  for (int n = 31; n < 62; ++n) EXPECT_EQ(nullptr, GadgetTable.slots[n].control) << n;
  // Numbers below the new highest do not grow it again.
  ASSERT_TRUE(CreateTextLabel(59, 5, 70, 20, 20, "y"));
  EXPECT_EQ(60, GadgetTable.highest);
}

TEST_F(GadgetTableTest, CreatingUnderANumberInUseLeavesOneControl) {
  HWND first = reinterpret_cast<HWND>(CreatePushButton(2, 10, 10, 80, 24, "first"));
  ASSERT_TRUE(IsWindow(first));
  HWND second = reinterpret_cast<HWND>(CreatePushButton(2, 10, 40, 80, 24, "second"));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(second, GadgetHandleOf(2));
  EXPECT_EQ(1, ChildrenWithIdentifier(2));
  // Another kind under the same number replaces it just the same.
  HWND third = reinterpret_cast<HWND>(CreateEditField(2, 10, 70, 80, 24, "third"));
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(third, GadgetHandleOf(2));
  EXPECT_EQ(1, ChildrenWithIdentifier(2));
}

TEST_F(GadgetTableTest, DestroyingAGadgetFreesItsNumber) {
  HWND button = reinterpret_cast<HWND>(CreatePushButton(4, 10, 10, 80, 24, "go"));
  ASSERT_TRUE(GadgetExists(4));
  DestroyGadget(4);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(nullptr, GadgetHandleOf(4));
  EXPECT_EQ(nullptr, GadgetExists(4));
  EXPECT_EQ(nullptr, GadgetTable.slots[4].previousProcedure);
  DestroyGadget(4);  // nothing left to destroy
  EXPECT_TRUE(CreatePushButton(4, 10, 10, 80, 24, "again"));
  EXPECT_EQ(1, ChildrenWithIdentifier(4));
}

TEST_F(GadgetTableTest, ControlsDestroyedByThePlatformReleaseTheirRecords) {
  HWND button = reinterpret_cast<HWND>(CreatePushButton(3, 10, 10, 80, 24, "b"));
  ObjectNumber any = CreatePushButton(AnyNumber, 10, 40, 80, 24, "any");
  ASSERT_TRUE(GadgetExists(any));
  DestroyWindow(button);
  DestroyWindow(GadgetHandleOf(any));
  EXPECT_EQ(nullptr, GadgetExists(3));
  EXPECT_EQ(nullptr, GadgetExists(any));
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);

  // Closing the parent window takes every gadget with it.
  CreateTextLabel(5, 10, 10, 80, 20, "label");
  ObjectNumber dynamic = CreateEditField(AnyNumber, 10, 40, 80, 24, "edit");
  DestroyNumberedWindow(1);
  EXPECT_EQ(nullptr, GadgetExists(5));
  EXPECT_EQ(nullptr, GadgetExists(dynamic));
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);
}

TEST_F(GadgetTableTest, ControlsCarryTheirNumberTheParentTheFontAndGadgetProcedure) {
  HWND label = reinterpret_cast<HWND>(CreateTextLabel(7, 10, 10, 80, 20, "label"));
  ObjectNumber any = CreatePushButton(AnyNumber, 10, 40, 80, 24, "any");
  for (HWND control : {label, GadgetHandleOf(any)}) {
    EXPECT_EQ(main_, GetParent(control));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GadgetTable.font), SendMessageA(control, WM_GETFONT, 0, 0));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GadgetProcedure), GetWindowLongPtrA(control, GWLP_WNDPROC));
    EXPECT_NE(nullptr, LookupGadget(GetWindowLongPtrA(control, GWLP_ID))->previousProcedure);
  }
  EXPECT_EQ(7, GetWindowLongPtrA(label, GWLP_ID));
  EXPECT_EQ(any, GetWindowLongPtrA(GadgetHandleOf(any), GWLP_ID));
}

// A control keeps the font it was laid out with however many other scales are asked for after
// it, in the table or outside it; a font no control holds any more makes room for another scale.
TEST_F(GadgetTableTest, ScaledFontsLiveWhileAControlHoldsThem) {
  for (ObjectNumber number : {ObjectNumber(3), AnyNumber}) {
    SCOPED_TRACE(number == AnyNumber ? "outside the table" : "in the table");
    long dpi = 120 + (number == AnyNumber ? 1 : 0);  // not one the previous case made
    HGDIOBJ font = GadgetFontFor(dpi);
    ASSERT_NE(GadgetTable.font, font);
    ObjectNumber made = CreatePushButton(number, 10, 10, 80, 24, "Play");
    HWND button = number == AnyNumber ? GadgetHandleOf(made) : reinterpret_cast<HWND>(made);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    for (long other = 200; other < 200 + 3 * ScaledGadgetFontSlots; ++other) GadgetFontFor(other);
    EXPECT_EQ(OBJ_FONT, GetObjectType(font)) << "the button's font was deleted";
    EXPECT_EQ(font, GadgetFontFor(dpi)) << "the font in use was not kept for its scale";
    DestroyGadget(made);
  }
  // Fonts nobody holds are reused: asking for many scales keeps only a few fonts alive.
  HGDIOBJ first = GadgetFontFor(300);
  for (long other = 301; other < 301 + 2 * ScaledGadgetFontSlots; ++other) GadgetFontFor(other);
  EXPECT_EQ(0u, GetObjectType(first)) << "a font no control holds was kept";
}

TEST_F(GadgetTableTest, AnyNumberGadgetsLiveOutsideTheTable) {
  ObjectNumber first = CreatePushButton(AnyNumber, 10, 10, 80, 24, "one");
  ObjectNumber second = CreateTextLabel(AnyNumber, 10, 40, 80, 24, "two");
  for (ObjectNumber number : {first, second}) {
    EXPECT_NE(AnyNumber, number);
    EXPECT_GT(number, HighestGadgetNumber);
    GadgetRecord* record = GadgetExists(number);
    ASSERT_EQ(reinterpret_cast<GadgetRecord*>(number), record);
    EXPECT_EQ(record, LookupGadget(number));
    EXPECT_TRUE(IsWindow(record->control));
  }
  EXPECT_NE(first, second);
  EXPECT_EQ(30, GadgetTable.highest);
  for (int n = 0; n < 32; ++n) EXPECT_EQ(nullptr, GadgetTable.slots[n].control) << n;

  DestroyGadget(first);
  EXPECT_EQ(nullptr, GadgetExists(first));
  EXPECT_EQ(&GadgetTable.emptyRecord, LookupGadget(first));
  EXPECT_TRUE(GadgetExists(second));
}

TEST_F(GadgetTableTest, NumbersNeverHandedOutNameNoGadgetAndReachNothing) {
  CreatePushButton(1, 10, 10, 80, 24, "one");
  ObjectNumber any = CreatePushButton(AnyNumber, 10, 40, 80, 24, "any");
  ObjectNumber freed = CreatePushButton(AnyNumber, 10, 70, 80, 24, "freed");
  DestroyGadget(freed);
  // A live heap block and a stack address are readable memory that is no gadget record.
  void* block = HeapAlloc(RuntimeState.heap, 0, 64);
  memset(block, 0x5A, 64);
  int local = 0x5A5A5A5A;
  const ObjectNumber strangers[] = {
      0, 29, 30, 31, 61, 1000, HighestGadgetNumber, HighestGadgetNumber + 1, -2, -100, INT_MIN,
      INT_MAX, 0x12345678, freed, any + 4, any - 16, reinterpret_cast<ObjectNumber>(block),
      reinterpret_cast<ObjectNumber>(&local)};
  for (ObjectNumber number : strangers) {
    SCOPED_TRACE(number);
    EXPECT_EQ(nullptr, GadgetExists(number));
    EXPECT_EQ(&GadgetTable.emptyRecord, LookupGadget(number));
    EXPECT_EQ(nullptr, GadgetHandleOf(number));
    SetGadgetDisabled(number, 1);
    SetGadgetCaption(number, "changed");
    char* start = WritePosition;
    EXPECT_STREQ("", ReadGadgetCaption(number));
    EXPECT_EQ(start, WritePosition);
    DestroyGadget(number);
    ReleaseGadgetRecord(number);
  }
  EXPECT_TRUE(EmptyRecordIsZero());
  for (int i = 0; i < 64; ++i) ASSERT_EQ(0x5A, static_cast<BYTE*>(block)[i]);
  EXPECT_EQ(0x5A5A5A5A, local);
  // The gadgets that do exist were not touched.
  HWND one = GadgetHandleOf(1);
  ASSERT_TRUE(IsWindow(one));
  EXPECT_TRUE(IsWindowEnabled(one));
  char* start = WritePosition;
  EXPECT_STREQ("one", ReadGadgetCaption(1));
  WritePosition = start;
  EXPECT_TRUE(IsWindowEnabled(GadgetHandleOf(any)));
  HeapFree(RuntimeState.heap, 0, block);
}

TEST_F(GadgetTableTest, CreationRefusesNumbersTheTableCannotTake) {
  const ObjectNumber refused[] = {-2, -7, INT_MIN, HighestGadgetNumber + 1, 0x10000, INT_MAX};
  for (ObjectNumber number : refused) {
    SCOPED_TRACE(number);
    EXPECT_EQ(0, CreatePushButton(number, 10, 10, 80, 24, "no"));
    EXPECT_EQ(0, CreateTextLabelWithFlags(number, 10, 10, 80, 24, "no", 0));
    EXPECT_EQ(0, CreateEditField(number, 10, 10, 80, 24, "no"));
    EXPECT_EQ(0, CreatePictureGadget(number, 10, 10, 80, 24, nullptr));
    EXPECT_EQ(0, ChildrenWithIdentifier(number));
  }
  EXPECT_EQ(nullptr, GetWindow(main_, GW_CHILD));
  EXPECT_EQ(30, GadgetTable.highest);
  EXPECT_TRUE(EmptyRecordIsZero());

  // The highest number accepted works and grows the table to just below 0x10000.
  HWND top = reinterpret_cast<HWND>(CreatePushButton(HighestGadgetNumber, 10, 10, 80, 24, "top"));
  ASSERT_TRUE(IsWindow(top));
  EXPECT_EQ(0xFFFF, GadgetTable.highest);
  EXPECT_EQ(top, GadgetHandleOf(HighestGadgetNumber));
}

TEST_F(GadgetTableTest, WithoutAParentCreationFailsAndLeavesNoRecord) {
  EXPECT_EQ(nullptr, BindGadgetParent(nullptr));
  EXPECT_EQ(0, CreatePushButton(3, 10, 10, 80, 24, "orphan"));
  EXPECT_EQ(nullptr, GadgetExists(3));
  // Under AnyNumber too: no number that names nothing, no record left behind.
  EXPECT_EQ(0, CreatePushButton(AnyNumber, 10, 10, 80, 24, "orphan"));
  EXPECT_EQ(0, CreatePictureGadget(AnyNumber, 10, 10, 80, 24, nullptr, 0));
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);
  // An unknown class fails the same way.
  BindGadgetParent(main_);
  EXPECT_EQ(0, CreateGadgetControl(AnyNumber, "NoSuchClass", WS_CHILD, 0, nullptr, 0, 0, 5, 5, ""));
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);
}

TEST_F(GadgetTableTest, SetGadgetDisabledDisablesForAnyNonZeroState) {
  const struct {
    long state;
    bool enabled;
  } cases[] = {{1, false}, {0, true}, {256, false}, {0, true}, {-1, false}, {0x10000, false}};
  HWND button = reinterpret_cast<HWND>(CreatePushButton(8, 10, 10, 80, 24, "b"));
  ObjectNumber any = CreateEditField(AnyNumber, 10, 40, 80, 24, "e");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    SetGadgetDisabled(8, c.state);
    SetGadgetDisabled(any, c.state);
    EXPECT_EQ(c.enabled, IsWindowEnabled(button) != 0);
    EXPECT_EQ(c.enabled, IsWindowEnabled(GadgetHandleOf(any)) != 0);
  }
}

TEST_F(GadgetTableTest, CaptionsAreSetAndReadBackThroughTheWorkBuffer) {
  CreatePushButton(1, 10, 10, 80, 24, "b");
  CreateTextLabel(2, 10, 40, 80, 24, "l");
  CreateEditField(3, 10, 70, 80, 24, "e");
  ObjectNumber any = CreateTextLabelWithFlags(AnyNumber, 10, 100, 80, 24, "a", SunkenBorderFlag);
  const std::string longest(31999, 'q');
  const std::string tooLong = std::string(31999, 'r') + "TAIL";
  const struct {
    const char* text;
    std::string expected;
  } cases[] = {{"Play", "Play"},
               {"", ""},
               {"with spaces and \xE9 accents", "with spaces and \xE9 accents"},
               {longest.c_str(), longest},
               {tooLong.c_str(), tooLong.substr(0, 31999)}};
  for (ObjectNumber number : {ObjectNumber(1), ObjectNumber(2), ObjectNumber(3), any}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << number << " / " << c.expected.size());
      SetGadgetCaption(number, c.text);
      char* start = WritePosition;
      char* caption = ReadGadgetCaption(number);
      EXPECT_EQ(start, caption);
      EXPECT_EQ(c.expected, std::string(caption));
      EXPECT_EQ(start + c.expected.size(), WritePosition);
      EXPECT_EQ(0, *WritePosition);
      WritePosition = start;
    }
  }
}

// A kind whose every slot records its call, to see the common operations use the kind table.
struct KindCallsRecord {
  int destroyCalls;
  HWND destroyed;
  int applyCalls;
  char applied[32];
  int queryCalls;
  HWND queried;
};
KindCallsRecord KindCalls;

void RecordDestroy(HWND control) {
  ++KindCalls.destroyCalls;
  KindCalls.destroyed = control;
  DestroyWindow(control);
}

void RecordApplyCaption(HWND, const char* text) {
  ++KindCalls.applyCalls;
  lstrcpynA(KindCalls.applied, text, sizeof(KindCalls.applied));
}

char* RecordQueryCaption(HWND control) {
  ++KindCalls.queryCalls;
  KindCalls.queried = control;
  return AppendString("from the kind");
}

const GadgetKindTable RecordingKind = {RecordDestroy, nullptr, nullptr, RecordQueryCaption,
                                       RecordApplyCaption};

TEST_F(GadgetTableTest, CommonOperationsGoThroughTheKindsSlotsWhenItHasThem) {
  for (ObjectNumber number : {ObjectNumber(12), AnyNumber}) {
    SCOPED_TRACE(number);
    KindCalls = {};
    ObjectNumber made = CreateGadgetControl(number, "STATIC", TextLabelStyle, 0, &RecordingKind,
                                            10, 10, 120, 20, "start");
    ASSERT_NE(0, made);
    ObjectNumber id = number == AnyNumber ? made : number;
    HWND control = GadgetHandleOf(id);
    ASSERT_TRUE(IsWindow(control));
    EXPECT_EQ(&RecordingKind, LookupGadget(id)->kind);

    SetGadgetCaption(id, "new caption");
    EXPECT_EQ(1, KindCalls.applyCalls);
    EXPECT_STREQ("new caption", KindCalls.applied);
    char text[32] = "";
    GetWindowTextA(control, text, sizeof(text));
    EXPECT_STREQ("start", text) << "the default ran as well as the kind's slot";

    char* start = WritePosition;
    char* caption = ReadGadgetCaption(id);
    EXPECT_EQ(1, KindCalls.queryCalls);
    EXPECT_EQ(control, KindCalls.queried);
    EXPECT_EQ(start, caption);
    EXPECT_STREQ("from the kind", caption);
    WritePosition = start;

    DestroyGadget(id);
    EXPECT_EQ(1, KindCalls.destroyCalls);
    EXPECT_EQ(control, KindCalls.destroyed);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(nullptr, GadgetExists(id));
  }
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);
}

TEST_F(GadgetTableTest, ReadingACaptionNeverWritesPastTheWorkBuffer) {
  CreatePushButton(1, 10, 10, 80, 24, "0123456789ABCDEF");
  char* saved = WritePosition;
  char* last = StringWorkBufferEnd - 1;
  const struct {
    int room;  // bytes between WritePosition and the buffer's last byte
    const char* expected;
  } cases[] = {{20, "0123456789ABCDEF"}, {16, "0123456789ABCDEF"}, {9, "012345678"},
               {1, "0"}, {0, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    WritePosition = last - c.room;
    char* caption = ReadGadgetCaption(1);
    EXPECT_STREQ(c.expected, caption);
    EXPECT_LE(WritePosition, last);
    EXPECT_EQ(0, *last);
  }
  // A WritePosition already past the end is brought back to the last byte.
  WritePosition = last + 5;
  EXPECT_STREQ("", ReadGadgetCaption(1));
  EXPECT_EQ(last, WritePosition);
  WritePosition = saved;
}

TEST_F(GadgetTableTest, TopLevelAncestorStopsAtTheGadgetsOwnWindow) {
  HWND label = reinterpret_cast<HWND>(CreateTextLabel(1, 10, 10, 80, 20, "l"));
  EXPECT_EQ(main_, TopLevelAncestor(label));
  EXPECT_EQ(main_, TopLevelAncestor(main_));
  EXPECT_EQ(nullptr, TopLevelAncestor(nullptr));
  // Regression: the parent of an owned top-level window is its owner. A gadget of an owned
  // window belongs to that window, not to the owner.
  HWND owned = reinterpret_cast<HWND>(
      CreateNumberedWindow(2, 50, 50, 200, 150, WS_POPUP, "owned", main_));
  ASSERT_TRUE(IsWindow(owned));
  ASSERT_EQ(main_, GetParent(owned));
  BindGadgetParent(owned);
  HWND inner = reinterpret_cast<HWND>(CreatePushButton(2, 10, 10, 80, 24, "inner"));
  EXPECT_EQ(owned, TopLevelAncestor(inner));
  EXPECT_EQ(owned, TopLevelAncestor(owned));
}

}  // namespace
