#pragma once

// Everything the tests share.

#include "GraphAssertions.h"
#include "GraphSnapshot.h"
#include "LogCapture.h"
#include "StubFunction.h"
#include "TestValues.h"
