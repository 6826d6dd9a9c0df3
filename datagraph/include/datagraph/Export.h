#pragma once

#define DATAGRAPH_API __attribute__((visibility("default")))
