#include  "a.inc"
#includes "b.inc"
#include any text "c.inc" trailing "text"
#include	"d.inc"
