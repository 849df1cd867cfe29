#pragma once

// Symbol visibility and token pasting shared by the framework and bundles.
// Bundles are built with hidden visibility; only what is marked US_ABI_EXPORT
// leaves the bundle's shared library.
#define US_ABI_EXPORT __attribute__((visibility("default")))
#define US_ABI_LOCAL __attribute__((visibility("hidden")))

#define US_STR_(x) #x
#define US_STR(x) US_STR_(x)
#define US_CONCAT_(a, b) a##b
#define US_CONCAT(a, b) US_CONCAT_(a, b)
