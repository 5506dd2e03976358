// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// Presents window to screen readers as a notification named by its title,
// whose accessible description is the message (set by the caller): a screen
// reader announces it whole even when the window never takes the focus.
// Only children on the screen are in its accessibility tree. When
// accessibility comes up after the window was shown, its showing is sent
// again. Costs nothing until accessibility is active.
void presentAsNotification(QWidget *window);

// Undoes presentAsNotification before window goes.
void stopPresentingAsNotification(QWidget *window);
