#pragma once
// The shared unit of both programs: records, constant tables and the device
// routines. Include this header, or the single piece you need.

#include "core/pubunit_device_commands.h"
#include "core/pubunit_device_config.h"
#include "core/pubunit_device_encoders.h"
#include "core/pubunit_device_presets.h"
#include "core/pubunit_device_records.h"
#include "core/pubunit_device_transport.h"
