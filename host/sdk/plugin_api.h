// Plug-in plumbing: class descriptors, the scene exporter interface and the version word.
#pragma once

#include "host/sdk/class_id.h"
#include "host/sdk/interface.h"
#include "host/sdk/win32.h"

#define MAX_RELEASE 8000
#define MAX_API_NUM 17
#define MAX_SDK_REV 0
#define VERSION_3DSMAX ((MAX_RELEASE << 16) + (MAX_API_NUM << 8) + MAX_SDK_REV)

class ClassDesc {
public:
    ClassDesc();
    virtual ~ClassDesc();
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const TCHAR* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const TCHAR* Category() = 0;
};

// SceneExport::DoExport's results.
#define IMPEXP_FAIL 0
#define IMPEXP_SUCCESS 1

class SceneExport {
public:
    SceneExport();
    virtual ~SceneExport();
    virtual int ExtCount() = 0;
    virtual const TCHAR* Ext(int n) = 0;
    virtual const TCHAR* LongDesc() = 0;
    virtual const TCHAR* ShortDesc() = 0;
    virtual const TCHAR* AuthorName() = 0;
    virtual const TCHAR* CopyrightMessage() = 0;
    virtual const TCHAR* OtherMessage1() = 0;
    virtual const TCHAR* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(HWND hWnd) = 0;
    virtual int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                         DWORD options = 0) = 0;
    virtual BOOL SupportsOptions(int, DWORD) { return FALSE; }
};

// The host's custom controls; from the host's core library.
void InitCustomControls(HINSTANCE hInst);
