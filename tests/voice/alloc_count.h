// Counts the calls of the global operator new in this test program.
#pragma once

long AllocationCount();
