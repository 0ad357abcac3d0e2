#pragma once
// (to be filled in by its subsystem)
