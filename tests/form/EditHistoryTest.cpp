#include "form/EditHistory.h"

#include <gtest/gtest.h>

namespace gridvane {
namespace {

EditStep TextStep(std::int32_t c, std::u16string before, std::u16string after)
{
    EditStep step;
    step.texts.push_back({c, 1, std::move(before), std::move(after)});
    return step;
}

TEST(EditHistory, KeepsTheNewestStepsAndForgetsWhatWasUndoneOnANewStep)
{
    EditHistory h;
    h.Push(EditStep{}); // nothing changed: no step
    EXPECT_FALSE(h.CanUndo());
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(EditHistory::kMaxSteps) + 5; ++i) h.Push(TextStep(i, u"a", u"b"));
    EXPECT_EQ(h.UndoSteps(), EditHistory::kMaxSteps);
    const EditStep* last = h.Undo();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->texts[0].c, static_cast<std::int32_t>(EditHistory::kMaxSteps) + 4);
    EXPECT_TRUE(h.CanRedo());
    h.Push(TextStep(-1, u"x", u"y"));
    EXPECT_FALSE(h.CanRedo());
    // The oldest of the kept steps is the sixth pushed: the first five were forgotten.
    const EditStep* step = nullptr;
    for (const EditStep* s = h.Undo(); s != nullptr; s = h.Undo()) step = s;
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->texts[0].c, 5);
}

} // namespace
} // namespace gridvane
