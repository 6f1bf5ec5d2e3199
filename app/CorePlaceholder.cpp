// Replaced by the widget-free logic of the program.
