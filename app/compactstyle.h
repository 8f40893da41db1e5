// Control metrics that fit the wizard's fixed 480 x 272 window.
#ifndef PONTIRO_APP_COMPACTSTYLE_H
#define PONTIRO_APP_COMPACTSTYLE_H

// The pages were laid out for controls about 22 pixels high. GTK's stock
// themes make buttons, fields and choices some 34 pixels high, which pushes
// the login page's note out of the window; this trims their padding for
// the whole program. Does nothing on other toolkits, and only once.
void UseCompactControls();

#endif
