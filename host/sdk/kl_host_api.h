/*
 * The host's add-on development kit: the C boundary between the host
 * application (here the workbench) and an add-on module.
 *
 * The host loads the module, looks up the four entry points below and calls
 * them in order. The first call hands in the table of host functions; the
 * add-on keeps the pointer for the life of the module. Every host function
 * returns a 32-bit error code, KL_NOERROR (0) meaning success. Nothing may
 * throw across this boundary, in either direction.
 *
 * Text is UTF-8, NUL-terminated. Records are plain C structs; arrays handed
 * to the add-on through a memo are allocated by the host and freed by
 * HostDisposeMemo. Lists are delivered through callbacks, so no ownership of
 * list storage crosses the boundary.
 */
#ifndef KL_HOST_API_H
#define KL_HOST_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KL_HOST_API_VERSION 28000

/* ---- error codes ------------------------------------------------------- */
typedef int32_t KlErr;
#define KL_NOERROR 0
#define KL_ERR_GENERAL (-2130312312)
#define KL_ERR_BADID (-2130311)
#define KL_ERR_BADPARS (-2130313)
#define KL_ERR_BADINDEX (-2130315)
#define KL_ERR_NOTSUPPORTED (-2110145)
#define KL_ERR_MEMFULL (-2130312311)
#define KL_ERR_REFUSED (-2130312300)    /* undo scope missing, or shut down */
#define KL_ERR_CANCEL (-2130312301)     /* body of an undoable command failed */
#define KL_ERR_ATTREXIST (-2130312302)  /* an attribute of that type and name exists; index filled */
#define KL_ERR_NOTEDITABLE (-2130312303) /* an element lies on a locked layer */
/* HostBodyFinish on a body whose polygons share edges: */
#define KL_ERR_BODY_EDGE_TWICE (-2130312304)    /* an edge runs the same way in two polygons */
#define KL_ERR_BODY_SELF_CROSSING (-2130312305) /* a polygon crosses or touches itself */

/* ---- identifiers ------------------------------------------------------- */
typedef struct KlGuid {
    uint32_t w[4];
} KlGuid;

/* ---- resources of the add-on module ------------------------------------ *
 * The module exports one data symbol, KL_RESOURCE_TABLE_SYMBOL: the array
 * itself, declared as
 *     extern "C" const KlResource KlResourceTable[];
 * and terminated by an entry with type 0. The host reads the add-on's
 * string lists and dialog descriptions from it; the add-on reads its own data
 * resources back through HostLoadResource. */
#define KL_RES_DATA 0x44415441u      /* 'DATA' raw bytes */
#define KL_RES_STRLIST 0x53545223u   /* 'STR#' strings separated by '\0', ending with "\0\0" */
#define KL_RES_DIALOG 0x47444c47u    /* 'GDLG' JSON: {"title","width","height","items":[{"type":"browser","x","y","w","h"}]} */
#define KL_RES_ADDONID 0x4d444944u   /* 'MDID' two uint32: developer id, local id */

typedef struct KlResource {
    uint32_t type;
    int32_t id;
    const unsigned char* data;
    size_t size;
} KlResource;

#define KL_RESOURCE_TABLE_SYMBOL "KlResourceTable"

/* ---- environment check ------------------------------------------------- */
#define KL_ADDON_NORMAL 1
#define KL_ADDON_PRELOAD 2 /* loaded at start-up, stays loaded */

typedef struct KlEnvironment {
    int32_t hostApiVersion;
    char name[256];        /* filled by the add-on */
    char description[512]; /* filled by the add-on */
} KlEnvironment;

/* ---- attributes -------------------------------------------------------- */
#define KL_ATTR_LAYER 1
#define KL_ATTR_FILL 2
#define KL_ATTR_SURFACE 3
#define KL_ATTR_BUILDINGMATERIAL 4
#define KL_ATTR_PEN 5

#define KL_NAME_MAX 255 /* bytes of UTF-8, without the terminator */
#define KL_MIME_MAX 127 /* bytes of a picture's MIME type, without the terminator */

typedef struct KlAttribute {
    int32_t type;
    int32_t index; /* filled by the host on creation; 1-based */
    char name[KL_NAME_MAX + 1];
    /* surfaces: colour 0..1; fills: 0 solid, 1 hatch, 2 empty */
    double red, green, blue;
    int32_t fillKind;
    int32_t flags; /* layers: 1 hidden, 2 locked */
} KlAttribute;

typedef void (*KlAttributeVisitor)(void* ctx, const KlAttribute* attr);

/* ---- elements ---------------------------------------------------------- */
#define KL_ELEM_POLYLINE 1
#define KL_ELEM_HATCH 2
#define KL_ELEM_TEXT 3
#define KL_ELEM_PICTURE 4
#define KL_ELEM_MESH 5
#define KL_ELEM_SLAB 6
#define KL_ELEM_MORPH 7

typedef struct KlCoord {
    double x, y;
} KlCoord;

typedef struct KlCoord3 {
    double x, y, z;
} KlCoord3;

/* One record for every element type; fields that a type does not use are
 * ignored by the host and left zero by HostGetElementDefaults. */
typedef struct KlElement {
    int32_t type;
    KlGuid guid;       /* filled by HostCreateElement */
    int32_t layer;     /* layer attribute index */
    int32_t pen;       /* contour / text pen, 1..255 */
    int32_t closed;    /* polyline: closed outline */
    /* hatch */
    int32_t fillIndex;
    int32_t fillPen;
    int32_t backgroundPen;
    /* text */
    KlCoord textLoc;
    double textSizeMm;
    double textAngleRad;
    int32_t textAnchor; /* 1..9, keypad layout: 1 bottom left, 5 centre */
    /* picture: placed in the rectangle origin..origin+(width,height) */
    KlCoord picOrigin;
    double picWidth, picHeight;
    /* mesh, slab, morph */
    double level;      /* mesh base level, slab top level */
    double thickness;  /* slab */
    double skirtLevel; /* mesh: height of the skirt below the lowest point */
    int32_t material;  /* surface (mesh, morph) or building material (slab) */
    /* hatch: colour override of the fill, components 0..1, used when hasFillColour is 1 */
    int32_t hasFillColour;
    double fillRed, fillGreen, fillBlue;
    /* text: host anchoring and flag fields */
    int32_t textFlags;
    /* picture: turned by this angle about picOrigin; the data's format, which
     * the host checks against the bytes ("image/png" or "image/jpeg") */
    double picAngleRad;
    char picMimeType[KL_MIME_MAX + 1];
} KlElement;

/* An arc between two neighbouring vertices of a polyline (1-based indices,
 * endIndex = begIndex + 1); the angle is the arc's central angle in
 * radians, positive when it turns left from the chord. */
typedef struct KlPolyArc {
    int32_t begIndex;
    int32_t endIndex;
    double arcAngle;
} KlPolyArc;

/* Morph body under construction, owned by the host until HostBodyDispose. */
typedef struct KlBody* KlBodyRef;

/* Variable-length data of an element. Pointers are allocated by the host
 * (HostMemoAllocate, HostGetElementMemo, HostBodyFinish) and must be released
 * with HostDisposeMemo. */
typedef struct KlMemo {
    KlCoord* coords;  /* polyline/hatch/mesh/slab outline, closed rings repeat the first point */
    int32_t nCoords;
    int32_t* ringEnds; /* 1-based index of the last coordinate of each ring */
    int32_t nRings;
    KlPolyArc* arcs;  /* polyline: the segments drawn as arcs */
    int32_t nArcs;
    KlCoord3* levelPoints; /* mesh: inner level points */
    int32_t nLevelPoints;
    char* text;       /* text content, UTF-8 */
    size_t textBytes;
    unsigned char* data; /* picture: PNG or JPEG file content */
    size_t dataBytes;
    KlBodyRef body;   /* morph */
    void* hostPrivate;
    /* mesh: the height of every outline coordinate (nCoords values), and the
     * level lines the level points form: the 1-based index of the last level
     * point of each line, increasing, the last one nLevelPoints. A level
     * point that is a line of its own ends itself. */
    double* boundaryZ;
    int32_t* levelEnds;
    int32_t nLevelEnds;
} KlMemo;

#define KL_MEMO_COORDS 1 /* coordinates, ring ends, arcs and level points */
#define KL_MEMO_TEXT 128

typedef struct KlMemoSizes {
    int32_t nCoords;
    int32_t nRings;
    int32_t nArcs;
    int32_t nLevelPoints;
    size_t textBytes; /* without terminator; one extra byte is allocated */
    size_t dataBytes;
    int32_t withBoundaryZ; /* 1: one boundary height per coordinate */
    int32_t nLevelEnds;
} KlMemoSizes;

typedef void (*KlGuidVisitor)(void* ctx, const KlGuid* guid, int32_t elemType);

/* HostListElements filter bits; 0 lists everything */
#define KL_FILTER_EDITABLE 1      /* not on a locked layer */
#define KL_FILTER_ON_VISIBLE_LAYER 2
#define KL_FILTER_IN_MODEL 4      /* every element of the project (one story) */

/* ---- georeference ------------------------------------------------------ */
typedef struct KlGeoLocation {
    /* project location */
    double latitude, longitude, altitude;
    int32_t hasLocation;
    /* survey point */
    double surveyEasting, surveyNorthing, surveyElevation;
    double scaleFactor;
    /* coordinate reference system texts */
    char crsName[256];
    char crsDescription[256];
    char geodeticDatum[128];
    char verticalDatum[128];
    char mapProjection[128];
    char mapZone[32];
} KlGeoLocation;

/* ---- palettes and browser ---------------------------------------------- */
#define KL_PALETTE_CLOSE 1
#define KL_PALETTE_HIDE_BEGIN 2
#define KL_PALETTE_HIDE_END 3
#define KL_PALETTE_DISABLE_BEGIN 4
#define KL_PALETTE_DISABLE_END 5
#define KL_PALETTE_OPEN 6
#define KL_PALETTE_IS_VISIBLE 7

/* param: for KL_PALETTE_IS_VISIBLE points to an int32 that receives 0 or 1 */
typedef KlErr (*KlPaletteControl)(int32_t referenceNumber, int32_t message, intptr_t param);

typedef struct KlPalette* KlPaletteRef;
typedef struct KlBrowser* KlBrowserRef;

typedef struct KlPaletteObserver {
    void* ctx;
    /* the user pressed the close box; return 1 to accept the close */
    int32_t (*closeRequested)(void* ctx);
    /* the panel changed size by (dx, dy) pixels */
    void (*resized)(void* ctx, int32_t dx, int32_t dy);
} KlPaletteObserver;

/* A call from the page's script object. arg is UTF-8 text when argIsString is
 * 1; otherwise the page passed some other kind of value and arg is NULL. */
typedef void (*KlScriptFunction)(void* ctx, const char* arg, size_t argBytes, int32_t argIsString);

typedef struct KlBrowserEvents {
    void* ctx;
    void (*loadError)(void* ctx, int32_t code, const char* url);
    void (*loadingState)(void* ctx, int32_t isLoading);
} KlBrowserEvents;

/* ---- alerts (dialog library) ------------------------------------------ */
#define KL_ALERT_INFORMATION 1
#define KL_ALERT_WARNING 2
#define KL_ALERT_ERROR 3

/* ---- menus and project events ------------------------------------------ */
#define KL_MENUFLAG_CHECKED 2
#define KL_MENUFLAG_DISABLED 1

typedef KlErr (*KlMenuHandler)(int32_t menuResId, int32_t itemIndex);

#define KL_EVENT_QUIT 64
#define KL_EVENT_UNDO 128 /* the user undid a step */
#define KL_EVENT_REDO 256 /* the user redid a step */
typedef KlErr (*KlProjectEventHandler)(int32_t eventValue);

typedef KlErr (*KlCommandBody)(void* ctx);
typedef void (*KlRunnable)(void* ctx);

/* ---- the table of host functions --------------------------------------- */
typedef struct KlHostFunctions {
    int32_t apiVersion;
    int32_t structSize;

    /* registration, menus, report */
    KlErr (*RegisterMenu)(int32_t stringListId, int32_t promptListId, int32_t position, int32_t flags);
    KlErr (*InstallMenuHandler)(int32_t menuResId, KlMenuHandler handler);
    KlErr (*GetMenuItemFlags)(int32_t menuResId, int32_t itemIndex, int32_t* flags);
    KlErr (*SetMenuItemFlags)(int32_t menuResId, int32_t itemIndex, int32_t flags);
    KlErr (*RegisterPalette)(int32_t referenceNumber, KlPaletteControl control, int32_t flags, const KlGuid* guid);
    KlErr (*CatchProjectEvent)(int32_t eventMask, KlProjectEventHandler handler);
    KlErr (*KeepInMemory)(int32_t keep);
    KlErr (*WriteReport)(const char* message, int32_t withDialog);

    /* resources of the calling module */
    KlErr (*LoadResource)(uint32_t type, int32_t id, const unsigned char** data, size_t* size);
    KlErr (*GetIndString)(int32_t listId, int32_t index, char* buffer, size_t bufferSize);

    /* palettes (dialog library) */
    KlErr (*PaletteCreate)(int32_t dialogResId, const KlGuid* guid, KlPaletteRef* palette);
    KlErr (*PaletteDestroy)(KlPaletteRef palette);
    KlErr (*PaletteShow)(KlPaletteRef palette, int32_t placement);
    KlErr (*PaletteHide)(KlPaletteRef palette);
    KlErr (*PaletteIsVisible)(KlPaletteRef palette, int32_t* visible);
    KlErr (*PaletteEnableItems)(KlPaletteRef palette, int32_t enable);
    KlErr (*PaletteSetObserver)(KlPaletteRef palette, const KlPaletteObserver* observer);
    KlErr (*PaletteResizeItem)(KlPaletteRef palette, int32_t item, int32_t dx, int32_t dy);

    /* browser control on a palette item */
    KlErr (*BrowserCreate)(KlPaletteRef palette, int32_t item, KlBrowserRef* browser);
    KlErr (*BrowserDestroy)(KlBrowserRef browser);
    KlErr (*BrowserLoadUrl)(KlBrowserRef browser, const char* url);
    KlErr (*BrowserExecuteScript)(KlBrowserRef browser, const char* script);
    KlErr (*BrowserRegisterAsyncObject)(KlBrowserRef browser, const char* objectName, const char* functionName,
                                        KlScriptFunction function, void* ctx);
    KlErr (*BrowserSetEvents)(KlBrowserRef browser, const KlBrowserEvents* events);

    /* main-thread executor: run(ctx) later on the main thread, in posting
     * order. If the executor has shut down, drop(ctx) is called instead (on
     * the calling thread) and KL_ERR_REFUSED returned. Safe from any thread. */
    KlErr (*PostToMainThread)(KlRunnable run, KlRunnable drop, void* ctx);

    /* undo scope: runs body at once; a non-zero result rolls the step back
     * and is returned (KL_ERR_CANCEL if the body threw). Element and
     * attribute creation, deletion and info strings need a scope
     * (KL_ERR_REFUSED outside); a nested call runs inline in the outer step. */
    KlErr (*UndoableCommand)(const char* stepName, KlCommandBody body, void* ctx);

    /* attributes */
    KlErr (*ListAttributes)(int32_t type, KlAttributeVisitor visitor, void* ctx);
    KlErr (*CreateAttribute)(KlAttribute* attr);

    /* elements */
    KlErr (*GetElementDefaults)(KlElement* element, KlMemo* memo);
    KlErr (*MemoAllocate)(KlMemo* memo, const KlMemoSizes* sizes);
    KlErr (*CreateElement)(KlElement* element, const KlMemo* memo);
    KlErr (*DisposeMemo)(KlMemo* memo);
    KlErr (*SetElementInfoString)(const KlGuid* guid, const char* text);
    KlErr (*GetElement)(KlElement* element);
    KlErr (*GetElementMemo)(const KlGuid* guid, KlMemo* memo, int32_t mask);
    KlErr (*ListElements)(int32_t elemType, int32_t filter, KlGuidVisitor visitor, void* ctx);
    KlErr (*GetSelection)(KlGuidVisitor visitor, void* ctx);
    KlErr (*DeleteElements)(const KlGuid* guids, int32_t count);

    /* morph bodies: indices are 1-based; a negative edge in a polygon runs
     * from its second vertex to its first; an edge 0 separates a hole */
    KlErr (*BodyCreate)(KlBodyRef* body);
    KlErr (*BodyAddVertex)(KlBodyRef body, const KlCoord3* point, int32_t* index);
    KlErr (*BodyAddEdge)(KlBodyRef body, int32_t vertex1, int32_t vertex2, int32_t* index);
    KlErr (*BodyAddPolygon)(KlBodyRef body, const int32_t* signedEdges, int32_t count, int32_t material,
                            int32_t* index);
    KlErr (*BodyFinish)(KlBodyRef body, KlMemo* memo);
    KlErr (*BodyDispose)(KlBodyRef* body);

    /* georeference */
    KlErr (*GetGeoLocation)(KlGeoLocation* location);
    KlErr (*SetGeoLocation)(const KlGeoLocation* location);

    /* system shell: open an address in the default browser */
    KlErr (*ShellOpen)(const char* verb, const char* address, int32_t showMode);

    /* start-up options of the host application, e.g. "demo" -> "1";
     * KL_ERR_BADID when the option was not given. Check structSize before use. */
    KlErr (*GetHostOption)(const char* name, char* buffer, size_t bufferSize);

    /* modal alert with up to three buttons (NULL or "" leaves a button out;
     * without any, the host shows "OK"). *pressed receives the number of the
     * button the user pressed, 1 to 3, or 0 when the alert was closed
     * without one. Check structSize before use. */
    KlErr (*Alert)(int32_t kind, const char* title, const char* text, const char* button1, const char* button2,
                   const char* button3, int32_t* pressed);
} KlHostFunctions;

/* ---- entry points exported by the add-on (C linkage) ------------------- */
typedef int32_t (*KlCheckEnvironmentFn)(const KlHostFunctions* host, KlEnvironment* env);
typedef KlErr (*KlRegisterInterfaceFn)(void);
typedef KlErr (*KlInitializeFn)(void);
typedef KlErr (*KlFreeDataFn)(void);

#define KL_ENTRY_CHECK_ENVIRONMENT "CheckEnvironment"
#define KL_ENTRY_REGISTER_INTERFACE "RegisterInterface"
#define KL_ENTRY_INITIALIZE "Initialize"
#define KL_ENTRY_FREE_DATA "FreeData"

#ifdef __cplusplus
}
#endif

#endif
