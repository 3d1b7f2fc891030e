// CObject and CRuntimeClass: dynamic type identification along the chain of
// base classes that each run-time class record names.
#include <afx.h>

CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, NULL, NULL, NULL};

CObject* CRuntimeClass::CreateObject() {
  return m_pfnCreateObject == NULL ? NULL : (*m_pfnCreateObject)();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* pClass = this; pClass != NULL;
       pClass = pClass->m_pfnGetBaseClass == NULL ? NULL : (*pClass->m_pfnGetBaseClass)()) {
    if (pClass == pBaseClass) return TRUE;
  }
  return FALSE;
}

CObject::CObject() {}

CObject::~CObject() {}

CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

CRuntimeClass* PASCAL CObject::GetThisClass() { return &classCObject; }

CRuntimeClass* PASCAL CObject::_GetBaseClass() { return NULL; }

// Archiving, validity check and diagnostic dump: nothing to do here.
void CObject::Serialize(CArchive&) {}

void CObject::AssertValid() const {}

void CObject::Dump(CDumpContext&) const {}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }
