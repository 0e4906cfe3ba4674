// product_data_map_test.cpp: the run's products by key, name and code, and
// the selection of required products.
#include "engine/product_data_map.h"

#include <memory>

#include "gtest/gtest.h"

namespace {

class CRequires : public CRelation {
 public:
  CRequires(const std::wstring& source, const std::wstring& target) : CRelation(source, target) {}
  bool Evaluate() const override { return true; }
  std::unique_ptr<CRelation> Clone() const override {
    return std::unique_ptr<CRelation>(new CRequires(*this));
  }
};

CProductData* Put(CProductDataMap* map, const wchar_t* key, const wchar_t* productName,
                  const wchar_t* code, bool selected) {
  std::unique_ptr<CProductData> product(new CProductData(key));
  product->SetProductName(productName);
  product->SetProductCode(code);
  product->GetSelection()->SetCurrent(selected, false);
  CProductData* raw = product.get();
  map->SetAt(key, std::move(product));
  return raw;
}

void Require(CProductData* product, const wchar_t* target) {
  product->GetRelations()->Add(std::unique_ptr<CRelation>(new CRequires(product->GetName(), target)));
}

}  // namespace

TEST(CProductDataMapTest, KeysAreExactAndAReplacedProductIsDeleted) {
  CProductDataMap map;
  CProductData* first = Put(&map, L"Alpha", L"Alpha Editor", L"{A}", true);
  Put(&map, L"Beta", L"Beta Viewer", L"{B}", true);
  EXPECT_EQ(first, map.Lookup(L"Alpha"));
  EXPECT_EQ(nullptr, map.Lookup(L"alpha"));
  CProductData* second = Put(&map, L"Alpha", L"Alpha Two", L"{A2}", true);
  EXPECT_EQ(2u, map.GetCount());
  EXPECT_EQ(second, map.Lookup(L"Alpha"));
  EXPECT_EQ(L"Alpha", map.begin()->first);  // the key keeps its place
  map.SetAt(L"Alpha", std::unique_ptr<CProductData>(second));  // the same product again
  EXPECT_EQ(second, map.Lookup(L"Alpha"));
  EXPECT_TRUE(map.RemoveKey(L"Alpha"));
  EXPECT_FALSE(map.RemoveKey(L"Alpha"));
  EXPECT_EQ(1u, map.GetCount());
}

TEST(CProductDataMapTest, FindByNamePrefersTheKeyThenTheProductName) {
  CProductDataMap map;
  CProductData* alpha = Put(&map, L"Alpha", L"Viewer", L"{A}", true);
  CProductData* viewer = Put(&map, L"Viewer", L"Beta Viewer", L"{B}", true);
  CProductData* gamma = Put(&map, L"Gamma", L"Gamma Tools", L"{c-1}", true);
  EXPECT_EQ(viewer, map.FindByName(L"Viewer"));
  EXPECT_EQ(alpha, map.FindByName(L"viewer"));  // no such key: the first by name
  EXPECT_EQ(gamma, map.FindByName(L"GAMMA TOOLS"));
  EXPECT_EQ(nullptr, map.FindByName(L"Delta"));
  EXPECT_EQ(gamma, map.FindByProductCode(L"{C-1}"));
  EXPECT_EQ(nullptr, map.FindByProductCode(L"{D}"));
  Put(&map, L"Delta", L"Delta", L"", true);
  EXPECT_EQ(nullptr, map.FindByProductCode(L""));
}

TEST(CProductDataMapTest, RequiredProductsAreSelectedTransitivelyEvenWhenLocked) {
  CProductDataMap map;
  CProductData* a = Put(&map, L"A", L"", L"", true);
  CProductData* b = Put(&map, L"B", L"", L"", false);
  CProductData* c = Put(&map, L"C", L"", L"", false);
  CProductData* d = Put(&map, L"D", L"", L"", false);
  CProductData* e = Put(&map, L"E", L"", L"", false);
  b->GetSelection()->SetLocked(true);
  Require(c, L"B");  // listed before B is selected: needs a second pass
  Require(a, L"C");
  Require(c, L"Missing");
  Require(e, L"D");  // E is not selected: D stays out
  map.SelectRequiredProducts();
  EXPECT_TRUE(a->GetSelection()->IsCurrent());
  EXPECT_TRUE(c->GetSelection()->IsCurrent());
  EXPECT_TRUE(b->GetSelection()->IsCurrent());
  EXPECT_FALSE(d->GetSelection()->IsCurrent());
  EXPECT_FALSE(e->GetSelection()->IsCurrent());
}

TEST(CProductDataMapTest, ACycleOfRequirementsEnds) {
  CProductDataMap map;
  CProductData* a = Put(&map, L"A", L"", L"", true);
  CProductData* b = Put(&map, L"B", L"", L"", false);
  Require(a, L"B");
  Require(b, L"A");
  Require(a, L"A");
  map.SelectRequiredProducts();
  EXPECT_TRUE(b->GetSelection()->IsCurrent());
}
