/* resbind: links compiled resource files (.res) into the resource section of a 32-bit
 * Portable Executable, either as a block the caller places in an image it builds, or by
 * rewriting an existing executable.
 *
 * The library opens, reads and writes the caller's files only through the callback table and
 * reports only through the message callback; deleting a failed output and renaming the
 * temporary file over the executable, for which the table has no entries, it does with the C
 * run-time's remove and rename (MoveFileEx on Windows). All state is process-global: one call sequence at a time,
 *   GetResObjSize, then WriteResObj      (the caller builds the image), or
 *   GetResObjSize, then BindToExe        (rewrite an existing executable), or
 *   RemoveFromExe                        (strip the resource section).
 * The exports but the version query return 1 on success and 0 on failure; the first error
 * of a sequence is reported once, through the message callback, when the export that met it
 * returns.
 */
#ifndef RESBIND_H
#define RESBIND_H

#include <stdint.h>

#ifdef _WIN32
#define RESBIND_API __stdcall    /* exports: the callee cleans the stack */
#define RESBIND_CALLBACK __cdecl /* callbacks: the caller cleans the stack */
#else
#define RESBIND_API
#define RESBIND_CALLBACK
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Request flags. */
#define RESBIND_VERBOSE 0x1u         /* progress lines and the resource list */
#define RESBIND_LIST_ONLY 0x2u       /* collect, check and list; write nothing */
#define RESBIND_SEPARATE_OUTPUT 0x4u /* write the rewritten executable to OutputName */
#define RESBIND_ACCEPT_16BIT 0x8u    /* accept 16-bit resource files */

/* Mode passed to Open for every file the library reads: read-only, untranslated. */
#define RESBIND_OPEN_READ 0x8000

typedef struct ResBindInput {
  struct ResBindInput* Next;
  const char* FileName;
} ResBindInput;

/* Caller-owned request block: eight 32-bit fields, then two pointers. */
typedef struct ResBindRequest {
  uint32_t Flags;
  uint32_t FileAlignment;
  uint32_t SectionAlignment;
  ResBindInput* InputList; /* list order numbers the inputs 1, 2, 3, ... */
  uint32_t SectionSize;    /* out: size of the laid-out section, 0 when nothing to write */
  int32_t OutputHandle;    /* handle the section is written to by WriteResObj */
  uint32_t SectionRva;     /* added to every data entry's offset when the section is written */
  uint32_t FilePosition;   /* where in the output the section is written */
  const char* ExeName;     /* executable to rewrite */
  const char* OutputName;  /* separate output executable (RESBIND_SEPARATE_OUTPUT) */
} ResBindRequest;

/* Message record handed to the Message callback; valid only during the call. */
typedef struct ResBindMessage {
  const char* Text;
  int32_t Severity; /* 0 fatal, 1 error, 2 warning, 5 information */
  int32_t Reserved1;
  int32_t Reserved2;
  int32_t Reserved3;
  const int32_t* Number; /* null for information */
} ResBindMessage;

/* Caller-owned callback table. Handles are 32-bit; -1 means failure. */
typedef struct ResBindCallbacks {
  const char*(RESBIND_CALLBACK* FileName)(int32_t handle);
  int32_t(RESBIND_CALLBACK* Open)(const char* name, int32_t mode);
  int32_t(RESBIND_CALLBACK* Close)(int32_t handle);
  int32_t(RESBIND_CALLBACK* Read)(int32_t handle, void* buffer, uint32_t count);
  int32_t(RESBIND_CALLBACK* Write)(int32_t handle, const void* buffer, uint32_t count);
  /* Stores a time stamp (greater is newer) and the file size. */
  int32_t(RESBIND_CALLBACK* FileInfo)(int32_t handle, uint32_t* timeStamp, uint32_t* size);
  /* origin 0: from the start, 1: from the current position; returns the new position. */
  int32_t(RESBIND_CALLBACK* Seek)(int32_t handle, int32_t offset, int32_t origin);
  int32_t(RESBIND_CALLBACK* CreateOutput)(const char* name);
  int32_t(RESBIND_CALLBACK* CreateTemporary)(const char* name);
  void(RESBIND_CALLBACK* Message)(const ResBindMessage* message);
} ResBindCallbacks;

/* Returns 0x00020001. */
uint32_t RESBIND_API GetResBindVersion(void);

/* Reads the inputs, resolves duplicates and lays out the section; stores its size in
 * SectionSize. FileAlignment and SectionAlignment must be non-zero unless list-only. */
int32_t RESBIND_API GetResObjSize(const ResBindCallbacks* callbacks, ResBindRequest* request);

/* Writes the section laid out by GetResObjSize to OutputHandle at FilePosition, then
 * releases all state. Returns 0 without a message when there is nothing to write. */
int32_t RESBIND_API WriteResObj(const ResBindCallbacks* callbacks, ResBindRequest* request);

/* Replaces the resource section of ExeName with the laid-out section. The executable is
 * rewritten into OutputName or into a temporary file that replaces it on success; on
 * failure the executable is left unchanged. */
int32_t RESBIND_API BindToExe(const ResBindCallbacks* callbacks, ResBindRequest* request);

/* Rewrites ExeName without its resource section, the same way. */
int32_t RESBIND_API RemoveFromExe(const ResBindCallbacks* callbacks, ResBindRequest* request);

#ifdef __cplusplus
}
#endif

#endif
