#pragma once

#define KESCOREPLATFORM_API __attribute__((visibility("default")))
