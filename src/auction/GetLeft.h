#pragma once

// The window's new left edge (twips) after its width changed from oldWidth to
// newWidth, so that its middle stays put; never left of the screen's edge.
double GetLeft(double currentLeft, double oldWidth, double newWidth);
