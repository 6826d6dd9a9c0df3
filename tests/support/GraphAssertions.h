#pragma once

// EXPECT_GRAPH_EXCEPTION(statement, "exact message") and its std::out_of_range sibling.

#include <datagraph/Foundation.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#define EXPECT_GRAPH_EXCEPTION(statement, expectedMessage)                                         \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "Expected GraphException \"" << (expectedMessage)                     \
                          << "\" from: " #statement;                                               \
        } catch (const ::datagraph::GraphException& e) {                                           \
            EXPECT_EQ(std::string(e.what()), std::string(expectedMessage)) << "from: " #statement; \
        }                                                                                          \
    } while (false)

#define EXPECT_INVALID_KEY(statement)                                                              \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "Expected std::out_of_range from: " #statement;                       \
        } catch (const ::datagraph::GraphException& e) {                                           \
            ADD_FAILURE() << "Expected std::out_of_range, got GraphException \"" << e.what()       \
                          << "\" from: " #statement;                                               \
        } catch (const std::out_of_range& e) {                                                     \
            EXPECT_EQ(std::string(e.what()), "invalid unordered_map<K, T> key")                    \
                << "from: " #statement;                                                            \
        }                                                                                          \
    } while (false)
