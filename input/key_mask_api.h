#pragma once
// The entries of libKeyMask.so (C calling convention), resolved with dlsym by the loader.
//
//   StartKeyMask(window, message, command): starts capturing the scanner. `window` is the
//     main window's CommandSink (tendrix::CommandSink*); every captured character is posted
//     to it as `command` (5) with the character as a one-byte payload. `message` is the
//     command message number (1224), kept for the record. Returns 1 on success, 0 when the
//     arguments are unusable. Calling it again retargets the running capture.
//   ReleaseOrShield(flag): 0 shields (the scanner device is taken exclusively and its keys
//     are delivered to the window), 1 releases (keys pass through to the desktop).
//   StopKeyMask(): stops capturing and lets the device go.
//   KeyMaskSetDevice(path): optional, before StartKeyMask: the evdev device to read
//     (`sysScannerInputDevice`); empty or NULL = find an input device whose name contains
//     "barcode" or "scanner".
extern "C" {
typedef int (*StartKeyMaskFn)(void* window, unsigned message, int command);
typedef int (*ReleaseOrShieldFn)(int flag);
typedef int (*StopKeyMaskFn)();
typedef void (*KeyMaskSetDeviceFn)(const char* path);
}
