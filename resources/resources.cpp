// The icons are compiled into this library; nothing to run here.
