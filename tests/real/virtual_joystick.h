// A game controller for the real-platform tests: this machine has none, and
// the framework refuses to start without one.
//
// This object defines DirectInput8Create for every real-platform test
// executable (never for the product). It creates Wine's own DirectInput and
// hands out a wrapper of it in which game-controller enumeration offers one
// virtual joystick before any real controller, and CreateDevice with the
// virtual joystick's instance GUID opens it. Everything else (the keyboard
// included) is Wine's own object.
//
// The virtual joystick has two axes (X, Y), one point-of-view hat and 32
// buttons, can be pulled out and plugged in again, and speaks the
// c_dfDIJoystick format only. It honours DIPROP_RANGE and DIPROP_DEADZONE on
// X and Y (DIPH_BYOFFSET or DIPH_DEVICE), SetCooperativeLevel's checks,
// Acquire and Unacquire, Poll (DI_NOEFFECT: it needs no polling),
// GetDeviceState, GetDeviceInfo and GetCapabilities.
//
// NOTE: a foreground cooperative level is accepted but not enforced. Real
// tests run side by side and take the foreground from each other; a stick
// that stopped reading then would make their results depend on timing.
// LoseInput stands in for a loss of focus.
//
// A test moves the stick and presses buttons through the functions below;
// every open virtual device reads the same physical state. Single-threaded:
// call them on the thread that reads the device.
#pragma once

#include <windows.h>

#include <dinput.h>

namespace virtual_joystick {

// Raw axis positions run from -kAxisFull to +kAxisFull, 0 being the stick at
// rest. A device maps them through its range and dead zone: the dead zone is
// measured from 0 in units of 1/10000 of kAxisFull, and the travel left
// outside it is stretched over the half range, so raw ±kAxisFull reads as
// the range's ends. By default the range is 0 to 65535 and there is no dead
// zone.
constexpr LONG kAxisFull = 32767;

// Moves the stick (values are clamped to the raw range).
void SetAxes(LONG x, LONG y);
// Presses (down) or releases button `index`, 0 to 31; other indexes are
// ignored.
void SetButton(int index, bool down);
// Turns the hat: hundredths of a degree clockwise from up, or 0xFFFFFFFF for
// centred.
void SetPov(DWORD pov);
// Stick at rest, hat centred, every button up (plugged in or not, as it was).
void Reset();

// Pulled out (false): enumeration no longer offers the joystick and it cannot
// be created; every open device is dead for good, as a real one is: its reads
// fail with DIERR_INPUTLOST and Acquire with DIERR_UNPLUGGED. Plugged in
// again (true): enumeration offers it, and a newly created device reads.
// Either change posts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to the process's
// top-level windows, as Windows tells every window when a device comes or
// goes (Wine does not for a virtual device).
void SetPlugged(bool plugged);
// Posts that message (the dinput8.dll stand-in's file watcher uses it).
void PostDeviceChange();

// true: enumeration offers, before the joystick, a second controller that
// opens but refuses the joystick data format (as pedals or a wheel may).
void SetBrokenFirst(bool broken);
bool Plugged();

// As when another application takes the device or it is unplugged for a
// moment: every open virtual device is unacquired, and its next Poll or
// GetDeviceState fails with DIERR_INPUTLOST (later ones with
// DIERR_NOTACQUIRED) until it is acquired again.
void LoseInput();

// The state that the last successful GetDeviceState of a virtual device
// returned (all zero before the first).
DIJOYSTATE LastReading();

// Virtual devices created and not yet released to zero.
int Alive();
// Whether some open virtual device is acquired.
bool Acquired();

// The instance GUID that enumeration reports for the virtual joystick.
const GUID &InstanceGuid();

// `hook` runs at the start of every read of a virtual device and of every
// enumeration, before the stick is looked at, so that it can move, pull out
// or plug in the stick from outside (null: no hook).
void SetReadHook(void (*hook)());

} // namespace virtual_joystick
