start
end
