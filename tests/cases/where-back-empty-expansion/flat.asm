top
end
