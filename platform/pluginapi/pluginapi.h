/* The filter plug-in interface shared by the host program and the plug-ins.
 *
 * C-compatible and self-contained: the host includes nothing else of the
 * plug-ins, and the plug-ins include nothing of the host. The numbers are those
 * the interface defines (selectors, result codes, modes, filter cases); the
 * layout of the structures is our own. */
#ifndef QUILLMERE_PLUGINAPI_H
#define QUILLMERE_PLUGINAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- four-character codes ------------------------------------------------ */

/* 'kk00' == 0x6B6B3030: the first character is the most significant byte. */
#define PI_FOURCC(a, b, c, d)                                                  \
    ((uint32_t)(((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | \
                ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d)))

typedef uint32_t OSType;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef int16_t OSErr;
typedef uint8_t Boolean;

/* ---- selectors ----------------------------------------------------------- */

enum {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5
};

/* ---- result codes -------------------------------------------------------- */

enum {
    noErr = 0,
    memFullErr = -108,
    userCanceledErr = -128,
    errAECoercionFail = -1700,
    errPlugInHostInsufficient = -30900,
    filterBadParameters = -30100,
    filterBadMode = -30101
};

/* ---- image modes --------------------------------------------------------- */

/* The names are those of the PiPL enable expression. */
enum {
    BitmapMode = 0,
    GrayScaleMode = 1,
    IndexedColorMode = 2,
    RGBMode = 3,
    CMYKMode = 4,
    HSLMode = 5,
    HSBMode = 6,
    MultichannelMode = 7,
    DuotoneMode = 8,
    LabMode = 9,
    Gray16Mode = 10,
    RGB48Mode = 11,
    Lab48Mode = 12,
    CMYK64Mode = 13,
    DeepMultichannelMode = 14,
    Duotone16Mode = 15
};

/* The 'mode' property of a PiPL is a 32-bit mask: bit m set means mode m. */
#define PI_MODE_FLAG(mode) ((uint32_t)1u << (mode))

/* ---- filter cases -------------------------------------------------------- */

enum {
    filterCaseUnsupported = -1,
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7
};

/* 'fici' entry: input and output handling, flags1 bits. */
enum {
    filterDataHandlingCantFilter = 0,
    filterDataHandlingNone = 1 /* straight data */
};
#define PI_FICI_DONT_COPY_TO_DESTINATION 0x01
#define PI_FICI_WORKS_WITH_BLANK_DATA 0x02
#define PI_FICI_FILTERS_LAYER_MASK 0x04
#define PI_FICI_WRITES_OUTSIDE_SELECTION 0x08

/* ---- play information of the scripting system --------------------------- */

enum {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2
};

/* ---- geometry ------------------------------------------------------------ */

typedef struct Rect {
    int32_t top, left, bottom, right;
} Rect;

typedef struct Point {
    int32_t v, h;
} Point;

/* ---- handles ------------------------------------------------------------- */

typedef struct PIHandleOpaque* Handle;

typedef void (*DisposePIHandleProc)(Handle h);

typedef struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    DisposePIHandleProc disposeProc;
} HandleProcs;

/* ---- descriptors (scripting parameters) --------------------------------- */

/* A descriptor is a handle: the host's disposeProc releases it. */
typedef Handle PIDescriptorHandle;
typedef struct PIReadDescriptorOpaque* PIReadDescriptor;
typedef struct PIWriteDescriptorOpaque* PIWriteDescriptor;

#define typeInteger PI_FOURCC('l', 'o', 'n', 'g')
#define typeFloat PI_FOURCC('d', 'o', 'u', 'b')
#define typeChar PI_FOURCC('T', 'E', 'X', 'T')

/* keyArray ends with 0. */
typedef PIReadDescriptor (*OpenReadDescriptorProc)(PIDescriptorHandle descriptor,
                                                   const DescriptorKeyID* keyArray);
typedef OSErr (*CloseReadDescriptorProc)(PIReadDescriptor token);
typedef Boolean (*GetKeyProc)(PIReadDescriptor token, DescriptorKeyID* key,
                              DescriptorTypeID* type, int32_t* flags);
typedef OSErr (*GetIntegerProc)(PIReadDescriptor token, int32_t* value);

typedef struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
} ReadDescriptorProcs;

typedef PIWriteDescriptor (*OpenWriteDescriptorProc)(void);
typedef OSErr (*CloseWriteDescriptorProc)(PIWriteDescriptor token,
                                          PIDescriptorHandle* newDescriptor);
typedef OSErr (*PutIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key,
                                int32_t value);

typedef struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
} WriteDescriptorProcs;

typedef struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;   /* plugInDialog... */
    int16_t recordInfo; /* 0: the plug-in's settings are recorded silently */
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
} PIDescriptorParameters;

/* ---- colour services ----------------------------------------------------- */

enum { plugIncolorServicesChooseColor = 0 };
enum { plugIncolorServicesRGBSpace = 0 };

typedef struct ColorServicesInfo {
    int32_t infoSize;
    int16_t selector;    /* plugIncolorServicesChooseColor */
    int16_t sourceSpace; /* plugIncolorServicesRGBSpace */
    int16_t resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    int16_t colorComponents[4]; /* 0..255 per component in the RGB space */
    const char* pickerPrompt;   /* for ChooseColor; may be null */
} ColorServicesInfo;

typedef OSErr (*ColorServicesProc)(ColorServicesInfo* info);

/* ---- callbacks ----------------------------------------------------------- */

typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32_t done, int32_t total);

/* ---- the filter record --------------------------------------------------- */

typedef uint8_t FilterColor[4];

typedef struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    void* parameters; /* host-kept handle of the plug-in's parameters */

    Point imageSize; /* v = height, h = width */
    int16_t planes;
    Rect filterRect;
    int32_t maxSpace;
    int32_t bufferSpace;

    Rect inRect;
    int16_t inLoPlane;
    int16_t inHiPlane;
    Rect outRect;
    int16_t outLoPlane;
    int16_t outHiPlane;

    void* inData;
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;

    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32_t maskRowBytes;

    FilterColor foregroundColor; /* RGB, 0..255 each */
    FilterColor backColor;
    OSType hostSig;
    void* platformData; /* host window; null when the host has none */

    int16_t imageMode;
    int32_t depth; /* bits per sample: 8 or 16 */
    int16_t filterCase;

    HandleProcs* handleProcs;
    PIDescriptorParameters* descriptorParameters;
    ColorServicesProc colorServices;
} FilterRecord;

/* The about selector receives this instead of the FilterRecord. */
typedef struct AboutRecord {
    void* platformData;
} AboutRecord;

typedef void (*PluginEntryProc)(int16_t selector, void* record, intptr_t* data,
                                int16_t* result);

/* ---- the resource table every plug-in exports --------------------------- */

/* A type or name is either a number (text == NULL) or an upper-case text. */
typedef struct QmResourceId {
    const char* text;
    uint32_t number;
} QmResourceId;

typedef struct QmResource {
    QmResourceId type;
    QmResourceId name;
    const uint8_t* data;
    uint32_t size;
} QmResource;

typedef struct QmResourceTable {
    uint32_t magic; /* QM_RESOURCE_TABLE_MAGIC */
    uint32_t count;
    const QmResource* entries;
} QmResourceTable;

#define QM_RESOURCE_TABLE_MAGIC PI_FOURCC('Q', 'm', 'R', 'T')
#define QM_RESOURCE_TABLE_SYMBOL "quillmere_resources"

/* The PiPL resource ("PIPL" 16000), little-endian throughout:
 *   uint32 count, then per property:
 *   uint32 vendor ('8BIM'), uint32 key, uint32 id (0), uint32 length,
 *   length bytes of data, padded with zeros to a multiple of 4.
 * Property data:
 *   'kind'          uint32 four-character code ('8BFM')
 *   'name', 'catg'  length byte, then the characters
 *   'vers'          uint32 (0x00040000 for interface version 4.0)
 *   '8664', 'wx86'  the entry point's name, zero-terminated
 *   'mode'          uint32 mask of PI_MODE_FLAG bits
 *   'enbl'          the enable expression, zero-terminated
 *   'hstm'          uint32 version, uint32 class, uint32 event,
 *                   int32 terminology resource id, scope text zero-terminated
 *   'fici'          7 entries of 4 bytes, one per filter case 1..7:
 *                   input handling, output handling, flags1, flags2 */
#define PIPL_VENDOR PI_FOURCC('8', 'B', 'I', 'M')
#define PIPL_KIND PI_FOURCC('k', 'i', 'n', 'd')
#define PIPL_NAME PI_FOURCC('n', 'a', 'm', 'e')
#define PIPL_CATEGORY PI_FOURCC('c', 'a', 't', 'g')
#define PIPL_VERSION PI_FOURCC('v', 'e', 'r', 's')
#define PIPL_ENTRY_X86 PI_FOURCC('w', 'x', '8', '6')
#define PIPL_ENTRY_X64 PI_FOURCC('8', '6', '6', '4')
#define PIPL_MODES PI_FOURCC('m', 'o', 'd', 'e')
#define PIPL_ENABLE PI_FOURCC('e', 'n', 'b', 'l')
#define PIPL_HAS_TERMINOLOGY PI_FOURCC('h', 's', 't', 'm')
#define PIPL_FILTER_CASE_INFO PI_FOURCC('f', 'i', 'c', 'i')
#define PIPL_KIND_FILTER PI_FOURCC('8', 'B', 'F', 'M')

#ifdef __cplusplus
}
#endif

#endif
