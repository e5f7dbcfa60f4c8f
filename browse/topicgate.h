#pragma once

#include <QString>

// "1" lets the topic selector's choices through to the topic handler, "0" keeps them away
// while the selector is refilled (each entry would otherwise ask the catalogue for a module
// list). Touched on the GUI thread only; it starts off.
extern QString topicGate;
