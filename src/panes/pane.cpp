#include "panes/pane.h"
