#pragma once
// Everything of the window layer in one include.
#include "runtime/win32/message_box_probe.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"
#include "runtime/win32/window_layer.h"
