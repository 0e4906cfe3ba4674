#pragma once
// msi_feature_list.h: the rows of a package's Feature table, each with its
// own cost, as the package layer reads them.
#include <windows.h>
#include <msi.h>

#include <memory>
#include <string>
#include <vector>

// One row: columns 1-6 and 8 of the Feature table.
struct CFeature {
  std::wstring feature;
  std::wstring parent;
  std::wstring title;
  std::wstring description;
  int display = 0;
  int level = 0;
  int attributes = 0;
  // The feature alone, children not counted, in the installer's units of
  // 512 bytes; 0 when the package could not be opened for costing.
  double cost = 0.0;
};

class CMSIFeatureList {
 public:
  CMSIFeatureList() = default;
  CMSIFeatureList(const CMSIFeatureList&) = delete;
  CMSIFeatureList& operator=(const CMSIFeatureList&) = delete;

  // Appends every row of the database's Feature table in table order. With a
  // costed package (non-zero handle) each row gets its own cost.
  bool Load(MSIHANDLE database, MSIHANDLE package);
  const CFeature* Find(const std::wstring& feature) const;
  size_t GetCount() const { return m_features.size(); }
  const CFeature& operator[](size_t index) const { return *m_features[index]; }
  void Clear() { m_features.clear(); }

 private:
  std::vector<std::unique_ptr<CFeature>> m_features;
};
