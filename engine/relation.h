#pragma once
// relation.h: one product's requirement on another product of the suite,
// kept in the relation lists of both. The kinds of requirement derive from
// it. Pure logic.
#include <memory>
#include <string>

class CSetupState;

class CRelation {
 public:
  CRelation(const std::wstring& source, const std::wstring& target)
      : m_source(source), m_target(target) {}
  CRelation& operator=(const CRelation&) = delete;
  virtual ~CRelation() = default;

  // True when the requirement is met.
  virtual bool Evaluate() const = 0;
  virtual std::unique_ptr<CRelation> Clone() const = 0;

  const std::wstring& GetName() const { return m_name; }
  void SetName(const std::wstring& name) { m_name = name; }
  // Configuration names of the requiring and the required product.
  const std::wstring& GetSource() const { return m_source; }
  const std::wstring& GetTarget() const { return m_target; }
  CSetupState* GetSetupState() const { return m_setupState; }
  void SetSetupState(CSetupState* state) { m_setupState = state; }

 protected:
  CRelation(const CRelation&) = default;

 private:
  std::wstring m_name;
  std::wstring m_source;
  std::wstring m_target;
  CSetupState* m_setupState = nullptr;
};
