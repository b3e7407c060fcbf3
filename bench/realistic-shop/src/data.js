export const products = [
  { id: 1, name: 'Sourdough', description: 'Slow-fermented for two days', price: 6.5 },
  { id: 2, name: 'Rye loaf', description: 'Dense, dark and a little sour', price: 5.8 },
  { id: 3, name: 'Brioche', description: 'Butter, eggs and patience', price: 7.2 },
]
export const OPENING = 'Open every day from 7 to 19'
export const badges = ['Organic', 'Local flour', 'No additives']
