// setup_aggregate.cpp: the context block's initial values.
#include "engine/setup_aggregate.h"

CSetupAggregate* g_setupAggregate = nullptr;

CSetupAggregate::CSetupAggregate()
    : reserved0(nullptr),
      languageId(-1),
      reserved8(0),
      configurationPath{},
      actionName{},
      verifyActionDisplayName{},
      actionLists(nullptr),
      setupState(nullptr),
      removalTarget{},
      writeLog(nullptr) {}
