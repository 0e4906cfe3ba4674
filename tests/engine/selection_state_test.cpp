// selection_state_test.cpp: the lock and first-assignment rules of a choice.
#include "engine/selection_state.h"

#include "gtest/gtest.h"

TEST(CSelectionStateTest, FirstAssignmentSetsBothValues) {
  CSelectionState state;
  EXPECT_FALSE(state.IsInitialised());
  state.SetCurrent(true, false);
  EXPECT_TRUE(state.IsCurrent());
  EXPECT_TRUE(state.IsSaved());
  EXPECT_TRUE(state.IsInitialised());
  state.SetCurrent(false, false);  // later ones leave the saved value
  EXPECT_FALSE(state.IsCurrent());
  EXPECT_TRUE(state.IsSaved());
  state.RevertToSaved();
  EXPECT_TRUE(state.IsCurrent());

  CSelectionState mirror;
  mirror.SetSaved(true, false);
  EXPECT_TRUE(mirror.IsCurrent());
  mirror.SetSaved(false, false);
  EXPECT_TRUE(mirror.IsCurrent());
  EXPECT_FALSE(mirror.IsSaved());
}

TEST(CSelectionStateTest, ALockHoldsUnlessForcedYetStillInitialises) {
  CSelectionState state;
  state.SetLocked(true);
  state.SetCurrent(true, false);
  EXPECT_FALSE(state.IsCurrent());
  EXPECT_FALSE(state.IsSaved());
  EXPECT_TRUE(state.IsInitialised());  // with the value it held
  state.SetSaved(true, false);
  EXPECT_FALSE(state.IsSaved());
  state.SetCurrent(true, true);
  EXPECT_TRUE(state.IsCurrent());
  state.SetSaved(true, true);
  EXPECT_TRUE(state.IsSaved());
  state.SetCurrent(false, false);
  state.RevertToSaved();  // a revert is not stopped by the lock
  EXPECT_TRUE(state.IsCurrent());
}

TEST(CSelectionStateTest, ResetAndCopyCoverAllFiveFlags) {
  CSelectionState state;
  state.SetCurrent(true, false);
  state.SetLocked(true);
  state.SetHidden(true);
  CSelectionState copy;
  copy.CopyFrom(state);
  EXPECT_TRUE(copy.IsCurrent() && copy.IsSaved() && copy.IsLocked() && copy.IsHidden() &&
              copy.IsInitialised());
  copy.Reset();
  EXPECT_FALSE(copy.IsCurrent() || copy.IsSaved() || copy.IsLocked() || copy.IsHidden() ||
               copy.IsInitialised());
}
