// For tests only: which vector width the corner sums use.
#pragma once

// Caps the vector width of the sums of big groups at `doubles` (8, 4 or 2);
// the processor's own limit still applies. The bits do not depend on it.
// Takes effect for later calls.
void limitVectorWidth(int doubles);
