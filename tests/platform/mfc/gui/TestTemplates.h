// Dialog templates of the tests' own, registered as resources of the test
// program.
#pragma once

constexpr int kButtonsDialog = 200;       // "OK", "Go" and a sorted list box
constexpr int kUnknownClassDialog = 201;  // a control of a class the manager lacks
constexpr int kMissingDialog = 299;       // no such template

constexpr int kGoButton = 10;
constexpr int kSortedList = 20;
