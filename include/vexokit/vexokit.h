/* The client interface of the vexokit framework: plain C functions with unmangled names,
 * every one safe to call first (the framework sets itself up on the first call). Status
 * results are 0 for success, else a code whose message vexo25_getErrorMessage returns.
 * Texts returned by the framework stay its own and remain valid until 32 further texts
 * have been returned. One thread at a time. */
#ifndef VEXOKIT_H
#define VEXOKIT_H

#ifdef __cplusplus
extern "C" {
#endif

#define VEXOKIT_API __attribute__((visibility("default")))

/* A file named by its path. vexo25_addFile accepts it when the file exists and its absolute
 * path fits 1023 bytes. */
typedef struct VexoFileSpec {
  const char* path;
} VexoFileSpec;

/* ---- Sending files ------------------------------------------------------------------- */

/* Queues the file with its upload format (null: no format); 0, or 123 when the file
 * specification cannot be turned into a path. */
VEXOKIT_API int vexo25_addFile(const char* format, const VexoFileSpec* fileSpec);
VEXOKIT_API int vexo21_addFile(const char* format, const VexoFileSpec* fileSpec);
/* Queues the path as given; 0, or 123 for a null path. */
VEXOKIT_API int vexo25_addFileUsingPath(const char* format, const char* path);
/* Empties the queue; always 0. */
VEXOKIT_API int vexo25_resetFiles(void);
VEXOKIT_API int vexo21_resetFiles(void);

/* Uploads every queued file (the queue is emptied first, whatever the outcome) and opens
 * the service's result page in the browser. A null text leaves the framework's default
 * (empty). With deleteInputFiles non-zero the queued files are deleted after a successful
 * upload; a failed upload leaves them. The message (empty after success) is copied into
 * messageBuffer: at most bufferSize - 1 bytes and always a terminating zero byte; nothing
 * is written for a null buffer or a size below 1. */
VEXOKIT_API int vexo25_sendFiles(const char* srcCompId, const char* srcAppId,
                                 const char* srcAppVer, const char* authToken,
                                 int deleteInputFiles, char* messageBuffer, int bufferSize);
/* The same with options "name=value;name=value" (null: none); lightweight=true lets the
 * framework complete the upload itself when the service offers it. */
VEXOKIT_API int vexo25_sendFilesWithOptions(const char* options, const char* srcCompId,
                                            const char* srcAppId, const char* srcAppVer,
                                            const char* authToken, int deleteInputFiles,
                                            char* messageBuffer, int bufferSize);
/* vexo25_sendFiles without a token. */
VEXOKIT_API int vexo21_sendFiles(const char* srcCompId, const char* srcAppId,
                                 const char* srcAppVer, int deleteInputFiles,
                                 char* messageBuffer, int bufferSize);
/* 1 when the last upload of the process was completed by the framework itself. */
VEXOKIT_API int vexo25_lastSendFilesWasLightweight(void);

/* ---- Patches -------------------------------------------------------------------------- */

/* The new file from the old one and a binary patch; 0, else 103, 105, 106 or 126. */
VEXOKIT_API int vexo25_applyPatchFile(const char* patchFile, const char* oldFile,
                                      const char* newFile);
/* The new folder from the old one and a patch folder with its plan. */
VEXOKIT_API int vexo25_applyPatchDir(const char* patchDir, const char* oldDir,
                                     const char* newDir);
/* Checks a patch folder without building anything. */
VEXOKIT_API int vexo25_validatePatchDir(const char* patchDir);

/* ---- State ---------------------------------------------------------------------------- */

/* The message of the last status-returning call; empty after success, never null. */
VEXOKIT_API const char* vexo25_getErrorMessage(void);
VEXOKIT_API int vexo25_isTracingEnabled(void);
VEXOKIT_API int vexo25_getMaxTraceLogFiles(void);
/* Negative counts are ignored. */
VEXOKIT_API void vexo25_setMaxTraceLogFiles(int count);

/* The two entry points a program looks up with dlsym. */
typedef int (*vexo25_addFile_fn)(const char*, const VexoFileSpec*);
typedef int (*vexo25_sendFiles_fn)(const char*, const char*, const char*, const char*, int,
                                   char*, int);

#ifdef __cplusplus
}
#endif

#endif /* VEXOKIT_H */
