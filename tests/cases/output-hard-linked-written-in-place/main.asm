new
