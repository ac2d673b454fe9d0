// Every Qt Widgets header includes this one first; a display-free target
// finds this copy before Qt's and stops here.
#error "a display-free target includes a Qt Widgets header"
