// msi_feature_list.cpp: reading a package's Feature table.
#include "actions/msi_feature_list.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "actions/msi_strings.h"
#include "actions/msi_trace.h"
#include "foundation/scoped_msi_handle.h"

namespace {

const wchar_t kFeatureQuery[] = L"SELECT * FROM Feature";

}  // namespace

bool CMSIFeatureList::Load(MSIHANDLE database, MSIHANDLE package) {
  CScopedMsiHandle view;
  UINT result = MsiDatabaseOpenViewW(database, kFeatureQuery, view.Receive());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not Open Database View");
    MsiTrace(MsiTraceError, L"MsiDatabaseOpenViewW('%s') returned %u", kFeatureQuery, result);
    return false;
  }
  result = MsiViewExecute(view.Get(), 0);
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not Execute Database View");
    MsiTrace(MsiTraceError, L"MsiViewExecute('%s') returned %u", kFeatureQuery, result);
    return false;
  }
  CScopedMsiHandle record;
  while (MsiViewFetch(view.Get(), record.Receive()) == ERROR_SUCCESS) {
    std::unique_ptr<CFeature> feature(new CFeature);
    ReadRecordString(record.Get(), 1, &feature->feature);
    ReadRecordString(record.Get(), 2, &feature->parent);
    ReadRecordString(record.Get(), 3, &feature->title);
    ReadRecordString(record.Get(), 4, &feature->description);
    feature->display = MsiRecordGetInteger(record.Get(), 5);
    feature->level = MsiRecordGetInteger(record.Get(), 6);
    feature->attributes = MsiRecordGetInteger(record.Get(), 8);
    if (package) {
      INT cost = 0;
      if (MsiGetFeatureCostW(package, feature->feature.c_str(), MSICOSTTREE_SELFONLY,
                             INSTALLSTATE_LOCAL, &cost) == ERROR_SUCCESS) {
        feature->cost = cost;
      }
    }
    m_features.push_back(std::move(feature));
  }
  return true;
}

const CFeature* CMSIFeatureList::Find(const std::wstring& feature) const {
  for (const std::unique_ptr<CFeature>& entry : m_features) {
    if (entry->feature == feature) return entry.get();
  }
  return nullptr;
}
