// feature_list_test.cpp: the feature tree: placement, order, search,
// selection through ancestors, costs and deep copies.
#include "engine/feature_list.h"

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

using Ids = std::vector<std::wstring>;

std::unique_ptr<CFeatureData> MakeFeature(const wchar_t* id, const wchar_t* parent, int display,
                                          double cost) {
  std::unique_ptr<CFeatureData> feature(new CFeatureData);
  feature->SetFeatureId(id);
  feature->SetParentId(parent);
  feature->SetDisplayName(std::wstring(id) + L" name");
  feature->SetDisplayOrder(display);
  feature->SetCost(cost);
  feature->GetSelection().SetCurrent(true, false);
  return feature;
}

bool Add(CFeatureList* list, std::unique_ptr<CFeatureData> feature) { return list->AddFeature(feature); }

// Main(10) > Docs(5) > Help(1); Samples(3); Tools(0, hidden but counted).
void BuildTree(CFeatureList* list) {
  ASSERT_TRUE(Add(list, MakeFeature(L"Main", L"", 2, 10.0)));
  ASSERT_TRUE(Add(list, MakeFeature(L"Docs", L"Main", 1, 5.0)));
  ASSERT_TRUE(Add(list, MakeFeature(L"Help", L"docs", 1, 1.0)));  // parent ids are case-blind
  ASSERT_TRUE(Add(list, MakeFeature(L"Samples", L"", 1, 3.0)));
  ASSERT_TRUE(Add(list, MakeFeature(L"Tools", L"", 0, 0.5)));
}

Ids TopLevelIds(const CFeatureList& list) {
  Ids ids;
  for (size_t i = 0; i < list.GetCount(); ++i) ids.push_back(list[i].GetFeatureId());
  return ids;
}

}  // namespace

TEST(CFeatureListTest, PlacesFeaturesUnderTheirParentsByDisplayOrder) {
  CFeatureList list;
  BuildTree(&list);
  EXPECT_EQ((Ids{L"Tools", L"Samples", L"Main"}), TopLevelIds(list));
  CFeatureData* help = list.FindById(L"HELP");
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(L"Docs", help->GetParent()->GetFeatureId());
  EXPECT_EQ(L"Main", help->GetParent()->GetParent()->GetFeatureId());
  EXPECT_EQ(nullptr, help->GetParent()->GetParent()->GetParent());
  EXPECT_TRUE(list.FindById(L"Main")->HasChildren());
  EXPECT_FALSE(help->HasChildren());
  EXPECT_EQ(help, list.FindByDisplayName(L"help NAME"));
  EXPECT_EQ(nullptr, list.FindById(L"Nothing"));
}

TEST(CFeatureListTest, AFeatureWithoutItsParentStaysWithTheCaller) {
  CFeatureList list;
  std::unique_ptr<CFeatureData> orphan = MakeFeature(L"Child", L"Parent", 1, 1.0);
  EXPECT_FALSE(list.AddFeature(orphan));
  ASSERT_NE(nullptr, orphan);
  EXPECT_TRUE(list.IsEmpty());
  ASSERT_TRUE(Add(&list, MakeFeature(L"Parent", L"", 1, 1.0)));
  EXPECT_TRUE(list.AddFeature(orphan));
  EXPECT_EQ(nullptr, orphan);
  std::unique_ptr<CFeatureData> none;
  EXPECT_FALSE(list.AddFeature(none));
  EXPECT_FALSE(list.InsertByDisplayOrder(nullptr));
}

TEST(CFeatureListTest, EqualDisplayOrdersKeepTheirArrivalOrder) {
  CFeatureList list;
  const struct {
    const wchar_t* id;
    int display;
  } kFeatures[] = {{L"A", 5}, {L"B", 5}, {L"C", 1}, {L"D", 9}, {L"E", 5}, {L"F", -1}};
  for (const auto& f : kFeatures) ASSERT_TRUE(Add(&list, MakeFeature(f.id, L"", f.display, 0)));
  EXPECT_EQ((Ids{L"F", L"C", L"A", L"B", L"E", L"D"}), TopLevelIds(list));
}

TEST(CFeatureListTest, ADeselectedAncestorDeselectsTheWholeBranch) {
  CFeatureList list;
  BuildTree(&list);
  Ids ids;
  list.GetSelectedIds(&ids);
  EXPECT_EQ((Ids{L"Tools", L"Samples", L"Main", L"Docs", L"Help"}), ids);
  list.FindById(L"Main")->GetSelection().SetCurrent(false, false);
  EXPECT_FALSE(list.FindById(L"Help")->IsSelected());
  EXPECT_TRUE(list.FindById(L"Help")->GetSelection().IsCurrent());
  list.GetSelectedIds(&ids);
  EXPECT_EQ((Ids{L"Tools", L"Samples"}), ids);
  list.GetUnselectedIds(&ids);
  EXPECT_EQ((Ids{L"Main", L"Docs", L"Help"}), ids);
}

TEST(CFeatureListTest, SelectionChangesSkipLockedFeaturesAndRevertRestoresSaved) {
  CFeatureList list;
  BuildTree(&list);
  list.FindById(L"Docs")->GetSelection().SetLocked(true);
  list.SetSelected(false);
  Ids ids;
  list.GetUnselectedIds(&ids);
  EXPECT_EQ((Ids{L"Tools", L"Samples", L"Main", L"Docs", L"Help"}), ids);
  EXPECT_TRUE(list.FindById(L"Docs")->GetSelection().IsCurrent());  // locked
  list.RevertSelection();
  list.GetSelectedIds(&ids);
  EXPECT_EQ((Ids{L"Tools", L"Samples", L"Main", L"Docs", L"Help"}), ids);
}

TEST(CFeatureListTest, CostsCountChildrenAndNeverGoBelowZero) {
  CFeatureList list;
  BuildTree(&list);
  CFeatureData* main = list.FindById(L"Main");
  EXPECT_EQ(16.0, main->GetFullCost());
  EXPECT_EQ(16.0, main->GetSelectedCost());
  list.FindById(L"Docs")->GetSelection().SetCurrent(false, false);
  EXPECT_EQ(10.0, main->GetSelectedCost());
  EXPECT_EQ(16.0, main->GetFullCost());
  EXPECT_EQ(0.5, list.FindById(L"Tools")->GetSelectedCost());  // hidden, still counted
  // A negative cost floors its own subtree at 0, not its parent's.
  list.FindById(L"Docs")->SetCost(-100.0);
  EXPECT_EQ(0.0, list.FindById(L"Docs")->GetFullCost());
  EXPECT_EQ(10.0, main->GetFullCost());
  main->GetSelection().SetCurrent(false, false);
  EXPECT_EQ(0.0, main->GetSelectedCost());
}

TEST(CFeatureListTest, CopiesAreDeepAndNeverPointIntoTheOriginal) {
  std::unique_ptr<CFeatureList> original(new CFeatureList);
  BuildTree(original.get());
  CFeatureList copy(*original);
  CFeatureData* copiedHelp = copy.FindById(L"Help");
  ASSERT_NE(nullptr, copiedHelp);
  EXPECT_NE(original->FindById(L"Help"), copiedHelp);
  EXPECT_EQ(copy.FindById(L"Docs"), copiedHelp->GetParent());
  EXPECT_EQ(copy.FindById(L"Main"), copiedHelp->GetParent()->GetParent());
  original->FindById(L"Main")->GetSelection().SetCurrent(false, false);
  EXPECT_TRUE(copiedHelp->IsSelected());
  original.reset();
  EXPECT_EQ(16.0, copy.FindById(L"Main")->GetFullCost());  // nothing dangles

  CFeatureList assigned;
  assigned = copy;
  const CFeatureList& same = assigned;
  assigned = same;  // self-assignment keeps the features
  EXPECT_EQ(3u, assigned.GetCount());
  assigned.CopyFrom(assigned);  // appending itself doubles the list once
  EXPECT_EQ(6u, assigned.GetCount());

  CFeatureData single(*copy.FindById(L"Docs"));
  EXPECT_EQ(copy.FindById(L"Main"), single.GetParent());  // the parent pointer is copied
  EXPECT_EQ(&single, single.GetChildren()[0].GetParent());
}

TEST(CFeatureListTest, ProductCodeReachesEveryDescendant) {
  CFeatureList list;
  BuildTree(&list);
  list.FindById(L"Main")->SetProductCode(L"{CODE}");
  EXPECT_EQ(L"{CODE}", list.FindById(L"Help")->GetProductCode());
  EXPECT_EQ(L"", list.FindById(L"Samples")->GetProductCode());
}
