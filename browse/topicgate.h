#pragma once

#include <QString>

// "1" lets the topic selector's choices through to the topic handler, "0" keeps them away
// while the selector is being refilled (each entry added or removed would otherwise ask the
// catalogue service for a module list). Shared by the whole program, touched on the GUI thread
// only; it starts off.
extern QString topicGate;
