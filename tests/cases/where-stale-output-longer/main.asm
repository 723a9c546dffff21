top
