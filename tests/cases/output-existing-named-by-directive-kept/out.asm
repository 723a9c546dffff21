the old output
