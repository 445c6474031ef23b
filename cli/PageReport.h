#pragma once

#include "resize/ResizeSettings.h"

// The -info report of one input: after the input's name, one row per page (its boxes, /Rotate,
// /UserUnit, its size as a reader sees it and the paper that is, whether the options select it,
// and the factors and the size as seen that they would give it), then a line that sums up. Opens
// the input as a resize does and writes nothing; throws CPdfException as a resize would.
void printPageReport(JobRequest job);
